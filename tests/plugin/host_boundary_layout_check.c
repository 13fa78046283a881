/* Compiled for 32-bit and 64-bit targets, as C and as C++, by scripts/check-layout-32.sh: the
 * header's own assertions fix the layout; these add the field offsets inside the records. */
#include "plugin/host_boundary.h"

ZC_ASSERT_OFFSET_32(HostApi, SendRemotingRequest, 0);
ZC_ASSERT_OFFSET_32(HostApi, SendHttpRequest, 4);
ZC_ASSERT_OFFSET_32(HostApi, SendEvent, 8);
ZC_ASSERT_OFFSET_32(HostApi, SubscribeHostEvent, 12);
ZC_ASSERT_OFFSET_32(HostApi, UnsubscribeHostEvent, 16);
ZC_ASSERT_OFFSET_32(HostApi, HostYield, 24);
ZC_ASSERT_OFFSET_32(HostApi, BeginWait, 28);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, versionMinor, 4);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, versionPatch, 8);
ZC_ASSERT_OFFSET_32(HostEventDelivery, payload, 4);
ZC_ASSERT_OFFSET_32(HostEventDelivery, reserved, 16);
ZC_ASSERT_OFFSET_32(HostValue, payload.string.length, 8);
ZC_ASSERT_OFFSET_32(HostValue, payload.collection.count, 8);
ZC_ASSERT_OFFSET_32(HostValue, payload.structure.count, 8);

/* 64-bit targets: addresses widen, counts and version words do not. */
#if !ZC_BOUNDARY_32BIT
ZC_BOUNDARY_ASSERT(sizeof(HostValue) == 16, "HostValue on 64-bit targets");
ZC_BOUNDARY_ASSERT(offsetof(HostValue, payload.string.length) == 12, "length after pointer");
ZC_BOUNDARY_ASSERT(sizeof(HostValueEntry) == 25, "HostValueEntry on 64-bit targets");
ZC_BOUNDARY_ASSERT(sizeof(PluginLoadRecord) == 44, "PluginLoadRecord on 64-bit targets");
ZC_BOUNDARY_ASSERT(offsetof(PluginLoadRecord, callbacks) == 12, "callbacks after versions");
ZC_BOUNDARY_ASSERT(sizeof(HostContext) == 12, "HostContext on 64-bit targets");
ZC_BOUNDARY_ASSERT(sizeof(HostEventRecord) == 28, "HostEventRecord on 64-bit targets");
ZC_BOUNDARY_ASSERT(sizeof(HostApi) == 80, "HostApi on 64-bit targets");
#endif

/* ---- HTTP API records ---- */
ZC_ASSERT_OFFSET_32(HostArgument, value, 4);
ZC_ASSERT_OFFSET_32(HostHeader, value, 4);
ZC_ASSERT_OFFSET_32(HostRequest, uri, 4);
ZC_ASSERT_OFFSET_32(HostRequest, arguments, 8);
ZC_ASSERT_OFFSET_32(HostRequest, argumentCount, 12);
ZC_ASSERT_OFFSET_32(HostRequest, headers, 20);
ZC_ASSERT_OFFSET_32(HostRequest, headerCount, 24);
ZC_ASSERT_OFFSET_32(HostRequest, contentType, 28);
ZC_ASSERT_OFFSET_32(HostRequest, body, 32);
ZC_ASSERT_OFFSET_32(HostRequest, bodyLength, 36);
ZC_ASSERT_OFFSET_32(HostResponse, hasError, 16);
ZC_ASSERT_OFFSET_32(HostResponse, formatFlag, 17);
ZC_ASSERT_OFFSET_32(HostResponse, status, 22);
ZC_ASSERT_OFFSET_32(HostResponse, statusText, 26);
ZC_ASSERT_OFFSET_32(HostResponse, headers, 30);
ZC_ASSERT_OFFSET_32(HostResponse, headerCount, 34);
ZC_ASSERT_OFFSET_32(HostResponse, streamRead, 38);
ZC_ASSERT_OFFSET_32(HostResponse, streamRelease, 42);
ZC_ASSERT_OFFSET_32(HostResponse, streamContext, 54);
ZC_ASSERT_OFFSET_32(HostHttpRequest, url, 4);
ZC_ASSERT_OFFSET_32(HostHttpRequest, headers, 8);
ZC_ASSERT_OFFSET_32(HostHttpRequest, headerCount, 12);
ZC_ASSERT_OFFSET_32(HostHttpRequest, body, 16);
ZC_ASSERT_OFFSET_32(HostHttpRequest, bodyLength, 20);
ZC_ASSERT_OFFSET_32(HostHttpRequest, setting, 24);
ZC_ASSERT_OFFSET_32(HostHttpResponse, status, 4);
ZC_ASSERT_OFFSET_32(HostHttpResponse, headers, 8);
ZC_ASSERT_OFFSET_32(HostHttpResponse, headerCount, 12);
ZC_ASSERT_OFFSET_32(HostHttpResponse, body, 16);
ZC_ASSERT_OFFSET_32(HostHttpResponse, bodyLength, 20);
ZC_ASSERT_OFFSET_32(HostTypeIdentifier, elementCode, 4);
ZC_ASSERT_OFFSET_32(HostTypeIdentifier, typeName, 8);
ZC_ASSERT_OFFSET_32(HostArgumentHelp, name, 4);
ZC_ASSERT_OFFSET_32(HostArgumentHelp, description, 8);
ZC_ASSERT_OFFSET_32(HostArgumentHelp, type, 12);
ZC_ASSERT_OFFSET_32(HostArgumentHelp, optional, 24);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, reserved, 4);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, dispatchRecord, 8);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, name, 12);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, nameSpace, 16);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, arguments, 20);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, argumentCount, 24);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, description, 40);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, help, 44);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, threadSafe, 48);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, tags, 53);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, tagCount, 57);
ZC_ASSERT_OFFSET_32(HostArgumentLocation, location, 4);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, dispatchRecord, 8);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, name, 12);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, returns, 28);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, async, 49);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, tagCount, 57);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, argumentLocations, 65);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, pathTemplate, 69);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, method, 73);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, extraEntries, 78);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, extraEntryCount, 82);
ZC_ASSERT_OFFSET_32(HostFieldEntry, name, 4);
ZC_ASSERT_OFFSET_32(HostFieldEntry, description, 8);
ZC_ASSERT_OFFSET_32(HostFieldEntry, offset, 12);
ZC_ASSERT_OFFSET_32(HostFieldEntry, type, 16);
ZC_ASSERT_OFFSET_32(HostFieldEntry, optional, 28);
ZC_ASSERT_OFFSET_32(HostValueHelpEntry, name, 4);
ZC_ASSERT_OFFSET_32(HostValueHelpEntry, description, 8);
ZC_ASSERT_OFFSET_32(HostValueHelpEntry, value, 12);
ZC_ASSERT_OFFSET_32(HostTypeEntry, name, 4);
ZC_ASSERT_OFFSET_32(HostTypeEntry, nameSpace, 8);
ZC_ASSERT_OFFSET_32(HostTypeEntry, size, 12);
ZC_ASSERT_OFFSET_32(HostTypeEntry, description, 16);
ZC_ASSERT_OFFSET_32(HostTypeEntry, tags, 20);
ZC_ASSERT_OFFSET_32(HostTypeEntry, tagCount, 24);
ZC_ASSERT_OFFSET_32(HostTypeEntry, fields, 28);
ZC_ASSERT_OFFSET_32(HostTypeEntry, values, 32);
ZC_ASSERT_OFFSET_32(HostTypeEntry, entryCount, 36);
ZC_ASSERT_OFFSET_32(HostEventEntry, name, 4);
ZC_ASSERT_OFFSET_32(HostEventEntry, nameSpace, 8);
ZC_ASSERT_OFFSET_32(HostEventEntry, typeName, 12);
ZC_ASSERT_OFFSET_32(HostEventEntry, description, 16);
ZC_ASSERT_OFFSET_32(HostEventEntry, tags, 20);
ZC_ASSERT_OFFSET_32(HostEventEntry, tagCount, 24);
ZC_ASSERT_OFFSET_32(HostApiDescription, functionCount, 4);
ZC_ASSERT_OFFSET_32(HostApiDescription, types, 8);
ZC_ASSERT_OFFSET_32(HostApiDescription, typeCount, 12);
ZC_ASSERT_OFFSET_32(HostApiDescription, events, 16);
ZC_ASSERT_OFFSET_32(HostApiDescription, eventCount, 20);

#if !ZC_BOUNDARY_32BIT
ZC_BOUNDARY_ASSERT(sizeof(HostRequest) == 76, "HostRequest on 64-bit targets");
ZC_BOUNDARY_ASSERT(sizeof(HostResponse) == 94, "HostResponse on 64-bit targets");
ZC_BOUNDARY_ASSERT(sizeof(HostFunctionEntry) == 154, "HostFunctionEntry on 64-bit targets");
#endif

/* Remote calls: the remoting request is the endpoint request record. */
ZC_ASSERT_OFFSET_32(HostRemotingRequest, method, 0);
ZC_ASSERT_OFFSET_32(HostRemotingRequest, methodName, 44);
ZC_ASSERT_OFFSET_32(HostArgument, value, 4);
ZC_ASSERT_OFFSET_32(HostResponse, hasError, 16);
ZC_ASSERT_OFFSET_32(HostResponse, status, 22);
#if !ZC_BOUNDARY_32BIT
ZC_BOUNDARY_ASSERT(sizeof(HostRemotingRequest) == 76, "HostRemotingRequest on 64-bit targets");
ZC_BOUNDARY_ASSERT(offsetof(HostRemotingRequest, callToken) == 64, "call token on 64-bit targets");
ZC_BOUNDARY_ASSERT(offsetof(HostResponse, streamContext) == 78, "stream context on 64-bit");
#endif
