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
