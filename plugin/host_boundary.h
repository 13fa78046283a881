/* The records and function tables that cross the boundary between the host (the client core's
 * plugin manager) and this plugin. Plain C, so that either side can be built from it alone.
 *
 * Layout rules, fixed for every record here:
 *  - one-byte packing, fields in the order written, no implicit padding;
 *  - on a 32-bit target every size and offset is the one asserted below;
 *  - on a 64-bit target every field holding an address (text, array, record, function, object)
 *    is pointer-sized and every other field keeps its stated width.
 * Texts are NUL-terminated UTF-8. Unless a field says otherwise, whoever fills a record owns what
 * its pointers point to, and the pointers stay valid only for the duration of the call that
 * passes the record.
 *
 * Version history of the plugin API this header describes:
 *   18.0.0  the load record of seven words, the three plugin callbacks, the ten-entry host table.
 */
#ifndef ZUN_CLUBS_PLUGIN_HOST_BOUNDARY_H_
#define ZUN_CLUBS_PLUGIN_HOST_BOUNDARY_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__cplusplus)
#define ZC_BOUNDARY_ASSERT(condition, message) static_assert(condition, message)
#else
#define ZC_BOUNDARY_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* Calling convention of every function crossing the boundary. */
#if defined(_WIN32) && !defined(_WIN64)
#define ZC_HOST_CALL __cdecl
#else
#define ZC_HOST_CALL
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#define ZC_BOUNDARY_32BIT 1
#else
#define ZC_BOUNDARY_32BIT 0
#endif

/* Asserts a size or offset that the 32-bit layout fixes; 64-bit builds check their own below. */
#if ZC_BOUNDARY_32BIT
#define ZC_ASSERT_SIZE_32(type, size) \
    ZC_BOUNDARY_ASSERT(sizeof(type) == (size), "size of " #type " on 32-bit targets")
#define ZC_ASSERT_OFFSET_32(type, field, offset)          \
    ZC_BOUNDARY_ASSERT(offsetof(type, field) == (offset), \
                       "offset of " #type "." #field " on 32-bit targets")
#else
#define ZC_ASSERT_SIZE_32(type, size) ZC_BOUNDARY_ASSERT(1, "32-bit layout only")
#define ZC_ASSERT_OFFSET_32(type, field, offset) ZC_BOUNDARY_ASSERT(1, "32-bit layout only")
#endif

/* Records completed by other parts of the boundary (requests, responses, the API description).
 */
typedef struct HostRequest HostRequest;
typedef struct HostResponse HostResponse;
typedef struct HostHttpRequest HostHttpRequest;
typedef struct HostHttpResponse HostHttpResponse;
typedef struct HostApiDescription HostApiDescription;

#pragma pack(push, 1)

/* ---- Values --------------------------------------------------------------------------------- */

/* Kinds of HostValue. A borrowed text or blob belongs to whoever built the value and is never
 * freed through it; an owned one is freed when the value is cleared. */
enum HostValueKind {
    HOST_VALUE_KIND_NULL = 0,
    HOST_VALUE_KIND_BOOL = 1,            /* payload.boolean */
    HOST_VALUE_KIND_SIGNED = 2,          /* payload.signedNumber */
    HOST_VALUE_KIND_UNSIGNED = 3,        /* payload.unsignedNumber */
    HOST_VALUE_KIND_FLOAT = 4,           /* payload.floatNumber */
    HOST_VALUE_KIND_BORROWED_STRING = 5, /* payload.string.text, borrowed; length not read */
    HOST_VALUE_KIND_STRING = 6,          /* payload.string, owned; the form this plugin writes */
    HOST_VALUE_KIND_BORROWED_BLOB = 7,   /* payload.blob, borrowed */
    HOST_VALUE_KIND_BLOB = 8,            /* payload.blob, owned; the form this plugin writes */
    HOST_VALUE_KIND_COLLECTION = 9,      /* payload.collection, array and elements owned */
    HOST_VALUE_KIND_STRUCTURE = 10       /* payload.structure, array and entries owned */
};

typedef struct HostValueEntry HostValueEntry;

/* The flat form of a dynamic value: a 32-bit kind and a payload that holds either a 64-bit
 * number or a pointer followed by a 32-bit length or count. 12 bytes on 32-bit targets, 16 on
 * 64-bit ones. Clearing a value frees what its kind owns, recursively, and leaves kind 0 with a
 * zero payload. */
typedef struct HostValue {
    uint32_t kind; /* an enum HostValueKind */
    union {
        uint8_t boolean; /* 0 or 1, in the first payload byte */
        int64_t signedNumber;
        uint64_t unsignedNumber;
        double floatNumber;
        struct {
            const char* text; /* NUL-terminated */
            uint32_t length;  /* bytes before the NUL */
        } string;
        struct {
            const uint8_t* bytes;
            uint32_t length;
        } blob;
        struct {
            struct HostValue* items;
            uint32_t count;
        } collection;
        struct {
            HostValueEntry* entries;
            uint32_t count;
        } structure;
    } payload;
} HostValue;

/* One member of a structure value: 17 bytes on 32-bit targets. The key is freed with the value
 * only when ownsKey is 1. */
struct HostValueEntry {
    const char* key;
    HostValue value;
    uint8_t ownsKey;
};

/* ---- Loading -------------------------------------------------------------------------------- */

typedef struct HostApi HostApi;
typedef struct HostContext HostContext;

/* What GetMemoryStats fills: six 64-bit counters as twelve 32-bit words, low word first (peak
 * bytes in use, blocks in use at the peak, bytes allocated, allocations, bytes freed, frees),
 * then two words that are always 0. */
#define PLUGIN_MEMORY_STATS_WORD_COUNT 14
typedef struct PluginMemoryStatsRecord {
    uint32_t words[PLUGIN_MEMORY_STATS_WORD_COUNT];
} PluginMemoryStatsRecord;

/* The plugin's callbacks. `instance` is word 4 of the load record. The table lives inside the
 * plugin instance and stays valid until Shutdown returns. */
typedef struct PluginCallbacks {
    /* Starts the plugin; returns 1 when it runs. The host keeps `context` alive (and unchanged)
     * until Shutdown has returned: the plugin holds on to it. Called once, after a load that
     * filled the load record. */
    uint8_t(ZC_HOST_CALL* Init)(void* instance, const HostContext* context);
    /* Drops every host subscription and destroys the instance; nothing of the plugin may be
     * called afterwards. */
    void(ZC_HOST_CALL* Shutdown)(void* instance);
    /* Fills `stats` (owned by the host) with the process-wide counters; ignores `instance`. */
    void(ZC_HOST_CALL* GetMemoryStats)(void* instance, PluginMemoryStatsRecord* stats);
} PluginCallbacks;

/* The record the host passes to load_zun_clubs. On entry words 0 to 2 hold the host's plugin-API
 * version. After a successful load they hold the plugin's own version and the plugin has filled
 * the rest; after a refused load (incompatible version) callbacks, instance, shortName and
 * apiDescription are as the host left them. Everything the plugin puts here is owned by the
 * plugin instance and valid until Shutdown returns. */
typedef struct PluginLoadRecord {
    uint32_t versionMajor;
    uint32_t versionMinor;
    uint32_t versionPatch;
    const PluginCallbacks* callbacks;
    void* instance;
    const char* shortName;
    const HostApiDescription* apiDescription;
} PluginLoadRecord;

/* The single export of the plugin library. */
typedef void(ZC_HOST_CALL* LoadZunClubsFunction)(PluginLoadRecord* record);

/* ---- Host events ---------------------------------------------------------------------------- */

/* An event the plugin sends (SendEvent). Name and payload belong to the plugin and are valid
 * only during the call; the host copies what it keeps. */
typedef struct HostEventRecord {
    const char* eventName;
    HostValue payload;
    uint32_t reserved; /* 0 when sending */
} HostEventRecord;

/* An event the host delivers to a subscriber: the event record followed by the subscriber's
 * user data. Everything is owned by the host and valid only during the callback. */
typedef struct HostEventDelivery {
    const char* eventName;
    HostValue payload;
    uint32_t reserved;
    void* userData; /* as given to SubscribeHostEvent */
} HostEventDelivery;

typedef void(ZC_HOST_CALL* HostEventCallback)(const HostEventDelivery* event);

/* Kinds of SubscribeHostEvent. */
enum HostEventKind { HOST_EVENT_KIND_RESOURCE = 0, HOST_EVENT_KIND_SERVICE_PROXY = 1 };

/* ---- The host table ------------------------------------------------------------------------- */

/* The host's operations, in table order. Each takes the table's own address first. The table is
 * owned by the host; the plugin calls it only between Init and the return of Shutdown, from host
 * threads. Every entry is present. */
struct HostApi {
    /* 0: a REST call to another plugin; returns when `response` (zeroed by the caller, released
     * by the caller through its release callback) is filled. */
    void(ZC_HOST_CALL* SendRemotingRequest)(const HostApi* api,
                                            HostResponse* response,
                                            const HostRequest* request);
    /* 1: an HTTP request to an outside service; returns when `response` is filled. The response's
     * texts and arrays belong to the host and stay valid until the next call on this thread. */
    void(ZC_HOST_CALL* SendHttpRequest)(const HostApi* api,
                                        HostHttpResponse* response,
                                        const HostHttpRequest* request);
    /* 2: delivers an event to its subscribers; no result. */
    void(ZC_HOST_CALL* SendEvent)(const HostApi* api, const HostEventRecord* event);
    /* 3: calls `callback` with each matching event until unsubscribed; `eventName` is copied. */
    void(ZC_HOST_CALL* SubscribeHostEvent)(const HostApi* api,
                                           const char* eventName,
                                           uint32_t clientWord,
                                           HostEventCallback callback,
                                           void* userData,
                                           uint32_t kind);
    /* 4: no more callbacks for `eventName` and `clientWord`. */
    void(ZC_HOST_CALL* UnsubscribeHostEvent)(const HostApi* api,
                                             const char* eventName,
                                             uint32_t clientWord);
    /* 5: present in the table, never called by this plugin. */
    void(ZC_HOST_CALL* Reserved5)(const HostApi* api,
                                  uint32_t first,
                                  uint32_t second,
                                  uint32_t third,
                                  double number,
                                  uint32_t fourth);
    /* 6: returns after the host has run pending work. */
    void(ZC_HOST_CALL* HostYield)(const HostApi* api);
    /* 7/8: bracket a wait of the calling thread; `label` is valid during the call, flags are 0.
     * EndWait's result is not read. */
    void(ZC_HOST_CALL* BeginWait)(const HostApi* api, const char* label, uint32_t flags);
    uint64_t(ZC_HOST_CALL* EndWait)(const HostApi* api);
    /* 9: one log line (level 0 OKAY, 1 WARN, 2 ERROR, 3 ALWAYS) for the host's log; the host
     * formats it and copies what it keeps. */
    void(ZC_HOST_CALL* WriteLog)(const HostApi* api, int32_t level, const char* line);
};

/* What the host passes to Init. Owned by the host, which keeps it alive until Shutdown returns.
 */
struct HostContext {
    const HostApi* api;
    uint32_t clientWord; /* opaque; handed back in subscriptions and remote calls */
};

#pragma pack(pop)

/* ---- Layout ------------------------------------------------------------------------------- */

ZC_ASSERT_SIZE_32(HostValue, 12);
ZC_ASSERT_OFFSET_32(HostValue, payload, 4);
ZC_ASSERT_SIZE_32(HostValueEntry, 17);
ZC_ASSERT_OFFSET_32(HostValueEntry, value, 4);
ZC_ASSERT_OFFSET_32(HostValueEntry, ownsKey, 16);
ZC_ASSERT_SIZE_32(PluginMemoryStatsRecord, 56);
ZC_ASSERT_SIZE_32(PluginCallbacks, 12);
ZC_ASSERT_OFFSET_32(PluginCallbacks, Shutdown, 4);
ZC_ASSERT_OFFSET_32(PluginCallbacks, GetMemoryStats, 8);
ZC_ASSERT_SIZE_32(PluginLoadRecord, 28);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, callbacks, 12);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, instance, 16);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, shortName, 20);
ZC_ASSERT_OFFSET_32(PluginLoadRecord, apiDescription, 24);
ZC_ASSERT_SIZE_32(HostEventRecord, 20);
ZC_ASSERT_OFFSET_32(HostEventRecord, payload, 4);
ZC_ASSERT_OFFSET_32(HostEventRecord, reserved, 16);
ZC_ASSERT_SIZE_32(HostEventDelivery, 24);
ZC_ASSERT_OFFSET_32(HostEventDelivery, userData, 20);
ZC_ASSERT_SIZE_32(HostContext, 8);
ZC_ASSERT_OFFSET_32(HostContext, clientWord, 4);
ZC_ASSERT_SIZE_32(HostApi, 40);
ZC_ASSERT_OFFSET_32(HostApi, Reserved5, 20);
ZC_ASSERT_OFFSET_32(HostApi, EndWait, 32);
ZC_ASSERT_OFFSET_32(HostApi, WriteLog, 36);

/* Pointer-width-independent rules, checked on every target. */
#define ZC_PTR ((size_t)sizeof(void*))
ZC_BOUNDARY_ASSERT(sizeof(HostValue) == 4 + (ZC_PTR + 4 > 8 ? ZC_PTR + 4 : 8),
                   "HostValue is a kind and a number or a pointer with a length");
ZC_BOUNDARY_ASSERT(sizeof(HostValueEntry) == ZC_PTR + sizeof(HostValue) + 1,
                   "HostValueEntry is packed");
ZC_BOUNDARY_ASSERT(sizeof(PluginLoadRecord) == 12 + 4 * ZC_PTR,
                   "the version words stay 32-bit, the rest are addresses");
ZC_BOUNDARY_ASSERT(sizeof(HostContext) == ZC_PTR + 4, "the client word stays 32-bit");
ZC_BOUNDARY_ASSERT(sizeof(HostApi) == 10 * ZC_PTR, "the host table has ten entries");
ZC_BOUNDARY_ASSERT(sizeof(HostEventRecord) == ZC_PTR + sizeof(HostValue) + 4,
                   "HostEventRecord is packed");
ZC_BOUNDARY_ASSERT(sizeof(HostEventDelivery) == sizeof(HostEventRecord) + ZC_PTR,
                   "HostEventDelivery is the event record and the user data");
ZC_BOUNDARY_ASSERT(offsetof(HostEventDelivery, userData) == sizeof(HostEventRecord),
                   "HostEventDelivery starts with the event record's fields");
ZC_BOUNDARY_ASSERT(sizeof(PluginMemoryStatsRecord) == 4 * PLUGIN_MEMORY_STATS_WORD_COUNT,
                   "fourteen 32-bit words");
#undef ZC_PTR

/* ==== HTTP API: requests, responses and the API description ================================= */
/* Filled in by the API layer; the records forward-declared above are completed here. */

#pragma pack(push, 1)

/* One header or other name/value pair of texts: 8 bytes on 32-bit targets. */
typedef struct HostHeader {
    const char* name;
    const char* value;
} HostHeader;

/* One explicit argument of a request: 16 bytes on 32-bit targets. A null name addresses the
 * argument by position (after the path arguments). */
typedef struct HostArgument {
    const char* name;
    HostValue value;
} HostArgument;

/* Method codes, the same on both sides: 1 DELETE, 2 GET, 3 HEAD, 4 OPTIONS, 5 PATCH, 6 POST,
 * 7 PUT, 8 another method whose name is in methodName. */
enum HostMethod {
    HOST_METHOD_DELETE = 1,
    HOST_METHOD_GET = 2,
    HOST_METHOD_HEAD = 3,
    HOST_METHOD_OPTIONS = 4,
    HOST_METHOD_PATCH = 5,
    HOST_METHOD_POST = 6,
    HOST_METHOD_PUT = 7,
    HOST_METHOD_OTHER = 8
};

/* A REST request as an endpoint handler receives it, and as a plugin sends one to another plugin
 * through SendRemotingRequest (48 bytes on 32-bit targets). Everything is owned by the caller and
 * valid during the call only. */
struct HostRequest {
    uint32_t method;               /* an enum HostMethod */
    const char* uri;               /* path, and "?" plus the query when there is one */
    const HostArgument* arguments; /* explicit arguments, or null */
    uint32_t argumentCount;
    const void* dispatchRecord; /* the called function's, from its function entry */
    const HostHeader* headers;  /* request headers, or null */
    uint32_t headerCount;
    const char* contentType; /* of the body; may be null */
    const uint8_t* body;     /* null when there is no body */
    uint32_t bodyLength;
    uint32_t callToken;     /* handed to the handler unchanged */
    const char* methodName; /* read only with HOST_METHOD_OTHER */
};

/* A body produced piecewise. `count` holds the buffer size going in and the bytes written coming
 * out; `more` is 1 going in and 0 once the stream has nothing further. Returns 0 on a read error.
 */
typedef uint8_t(ZC_HOST_CALL* HostStreamReadFunction)(void* context,
                                                      uint8_t* buffer,
                                                      uint32_t* count,
                                                      uint8_t* more);
/* Destroys the stream `context`. */
typedef void(ZC_HOST_CALL* HostStreamReleaseFunction)(void* context);
/* Frees everything `response` owns (value, texts, headers, stream) and zeroes all of it, release
 * callback included; a second call on the zeroed record does nothing. */
typedef void(ZC_HOST_CALL* HostResponseReleaseFunction)(HostResponse* response);

/* The answer to a REST request (62 bytes on 32-bit targets). Whoever fills it sets `release`,
 * and whoever receives it calls `release` once it is done with it. An answer with hasError 0 is a
 * success, also with status 0. */
struct HostResponse {
    HostValue value;       /* the result; kind 0 on failure */
    const char* errorText; /* owned; valid when hasError is 1 */
    uint8_t hasError;
    uint8_t formatFlag;
    uint32_t formatCode;    /* 0 none, 1 JSON, 2 YAML, 3 MessagePack */
    uint32_t status;        /* HTTP status; 0 when the handler set none */
    const char* statusText; /* owned, or the shared empty text */
    HostHeader* headers;    /* owned array of owned texts, or null */
    uint32_t headerCount;
    HostStreamReadFunction streamRead; /* null without a stream */
    HostStreamReleaseFunction streamRelease;
    uint64_t streamSize; /* bytes */
    void* streamContext; /* the stream object, owned */
    HostResponseReleaseFunction release;
};

/* An HTTP request to an outside service, passed to SendHttpRequest (29 bytes on 32-bit targets).
 * Owned by the plugin and valid during the call. */
struct HostHttpRequest {
    uint32_t method; /* an enum HostMethod */
    const char* url;
    const HostHeader* headers;
    uint32_t headerCount;
    const uint8_t* body;
    uint32_t bodyLength;
    uint32_t setting; /* handed on unchanged */
    uint8_t flag;     /* handed on unchanged */
};

/* The answer to SendHttpRequest (24 bytes on 32-bit targets), filled by the host. Transport code
 * 0 is success; -1 and 2 are read as they are and any other code as 1. With a code other than 0
 * the body holds the transport's error text. */
struct HostHttpResponse {
    int32_t transportCode;
    uint32_t status;
    const HostHeader* headers;
    uint32_t headerCount;
    const uint8_t* body;
    uint32_t bodyLength;
};

/* ---- The API description: what the host learns at load about the plugin's endpoints, types and
 * events. Built once at load and owned by the plugin instance: every record and text stays valid
 * until Shutdown returns. Lists are arrays whose entries are also chained through their first
 * field (null in the last); absent texts are the empty text, never null. */

/* A type: the native type code and element code (1 to 19, 0 for anything else), and the name of
 * the referenced registered type for codes 15, 16, 17 and 19 (the empty text otherwise). 12 bytes
 * on 32-bit targets. */
typedef struct HostTypeIdentifier {
    uint32_t code;
    uint32_t elementCode;
    const char* typeName;
} HostTypeIdentifier;

/* 25 bytes on 32-bit targets. */
typedef struct HostArgumentHelp {
    const struct HostArgumentHelp* next;
    const char* name;
    const char* description;
    HostTypeIdentifier type;
    uint8_t optional;
} HostArgumentHelp;

/* The help of one function: 61 bytes on 32-bit targets. */
typedef struct HostFunctionHelp {
    const struct HostFunctionHelp* next;
    const void* reserved;       /* 0 */
    const void* dispatchRecord; /* 0 here; set in the function entry */
    const char* name;
    const char* nameSpace;
    const HostArgumentHelp* arguments;
    uint32_t argumentCount;
    HostTypeIdentifier returns;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* async;       /* the result's referenced type name for asynchronous functions */
    const char* const* tags; /* array of texts */
    uint32_t tagCount;
} HostFunctionHelp;

/* Where an argument may come from: 0 anywhere, 1 query, 2 path, 4 header, 5 body. 8 bytes. */
typedef struct HostArgumentLocation {
    const struct HostArgumentLocation* next;
    uint32_t location;
} HostArgumentLocation;

/* The one function that serves every endpoint: fills `response` (setting its release callback
 * first, whatever happens) for `request`, whose dispatchRecord names the endpoint. */
typedef void(ZC_HOST_CALL* HostEndpointHandler)(HostResponse* response, const HostRequest* request);

/* One endpoint (90 bytes on 32-bit targets): its function help (next..tagCount, with next naming
 * the next function entry and dispatchRecord set) followed by how to call it. */
typedef struct HostFunctionEntry {
    const struct HostFunctionEntry* next;
    const void* reserved;
    const void* dispatchRecord; /* pass in HostRequest.dispatchRecord */
    const char* name;
    const char* nameSpace;
    const HostArgumentHelp* arguments;
    uint32_t argumentCount;
    HostTypeIdentifier returns;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* async;
    const char* const* tags;
    uint32_t tagCount;
    HostEndpointHandler handler;
    const HostArgumentLocation* argumentLocations; /* one per argument, in argument order */
    const char* pathTemplate;
    uint32_t method;          /* an enum HostMethod, 0 outside 1 to 8 */
    uint8_t flag;             /* carried for the host; 0 for every endpoint of this plugin */
    const void* extraEntries; /* 12-byte entries carried for the host; null here */
    uint32_t extraEntryCount;
    const char* methodName; /* with HOST_METHOD_OTHER */
} HostFunctionEntry;

/* 29 bytes on 32-bit targets. */
typedef struct HostFieldEntry {
    const struct HostFieldEntry* next;
    const char* name; /* the JSON name */
    const char* description;
    uint32_t offset; /* in the native record */
    HostTypeIdentifier type;
    uint8_t optional;
} HostFieldEntry;

/* 16 bytes on 32-bit targets. */
typedef struct HostValueHelpEntry {
    const struct HostValueHelpEntry* next;
    const char* name;
    const char* description;
    int32_t value;
} HostValueHelpEntry;

/* A registered structure or enumeration: 40 bytes on 32-bit targets. A structure with fields
 * lists them in `fields`; an enumeration (or a structure without fields) lists its values in
 * `values`; entryCount counts whichever list is given. */
typedef struct HostTypeEntry {
    const struct HostTypeEntry* next;
    const char* name;
    const char* nameSpace;
    uint32_t size;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    const HostFieldEntry* fields;
    const HostValueHelpEntry* values;
    uint32_t entryCount;
} HostTypeEntry;

/* 28 bytes on 32-bit targets. */
typedef struct HostEventEntry {
    const struct HostEventEntry* next;
    const char* name;
    const char* nameSpace;
    const char* typeName; /* the registered name of the event's data type */
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
} HostEventEntry;

/* Word 6 of the load record: six words, 24 bytes on 32-bit targets. */
struct HostApiDescription {
    const HostFunctionEntry* functions;
    uint32_t functionCount;
    const HostTypeEntry* types;
    uint32_t typeCount;
    const HostEventEntry* events;
    uint32_t eventCount;
};

#pragma pack(pop)

ZC_ASSERT_SIZE_32(HostHeader, 8);
ZC_ASSERT_SIZE_32(HostArgument, 16);
ZC_ASSERT_SIZE_32(HostRequest, 48);
ZC_ASSERT_OFFSET_32(HostRequest, dispatchRecord, 16);
ZC_ASSERT_OFFSET_32(HostRequest, callToken, 40);
ZC_ASSERT_OFFSET_32(HostRequest, methodName, 44);
ZC_ASSERT_SIZE_32(HostResponse, 62);
ZC_ASSERT_OFFSET_32(HostResponse, errorText, 12);
ZC_ASSERT_OFFSET_32(HostResponse, formatCode, 18);
ZC_ASSERT_OFFSET_32(HostResponse, streamSize, 46);
ZC_ASSERT_OFFSET_32(HostResponse, release, 58);
ZC_ASSERT_SIZE_32(HostHttpRequest, 29);
ZC_ASSERT_OFFSET_32(HostHttpRequest, flag, 28);
ZC_ASSERT_SIZE_32(HostHttpResponse, 24);
ZC_ASSERT_SIZE_32(HostTypeIdentifier, 12);
ZC_ASSERT_SIZE_32(HostArgumentHelp, 25);
ZC_ASSERT_SIZE_32(HostFunctionHelp, 61);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, returns, 28);
ZC_ASSERT_OFFSET_32(HostFunctionHelp, async, 49);
ZC_ASSERT_SIZE_32(HostArgumentLocation, 8);
ZC_ASSERT_SIZE_32(HostFunctionEntry, 90);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, handler, 61);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, flag, 77);
ZC_ASSERT_OFFSET_32(HostFunctionEntry, methodName, 86);
ZC_ASSERT_SIZE_32(HostFieldEntry, 29);
ZC_ASSERT_SIZE_32(HostValueHelpEntry, 16);
ZC_ASSERT_SIZE_32(HostTypeEntry, 40);
ZC_ASSERT_SIZE_32(HostEventEntry, 28);
ZC_ASSERT_SIZE_32(HostApiDescription, 24);

/* Pointer-width-independent rules of the API records, checked on every target. */
#define ZC_PTR ((size_t)sizeof(void*))
ZC_BOUNDARY_ASSERT(sizeof(HostRequest) == 7 * ZC_PTR + 5 * 4, "HostRequest is packed");
ZC_BOUNDARY_ASSERT(sizeof(HostResponse) == sizeof(HostValue) + 7 * ZC_PTR + 2 + 3 * 4 + 8,
                   "HostResponse is packed");
ZC_BOUNDARY_ASSERT(sizeof(HostFunctionHelp) == 11 * ZC_PTR + 4 * 4 + 1,
                   "HostFunctionHelp is packed");
ZC_BOUNDARY_ASSERT(offsetof(HostFunctionEntry, handler) == sizeof(HostFunctionHelp),
                   "a function entry starts with the function help's fields");
ZC_BOUNDARY_ASSERT(sizeof(HostApiDescription) == 3 * ZC_PTR + 3 * 4,
                   "HostApiDescription is three lists");
#undef ZC_PTR

/* ==== Remote calls to other plugins ========================================================= */
/* A plugin calls another plugin's endpoint with SendRemotingRequest, passing a request in exactly
 * the layout the target's endpoint handler receives (48 bytes on 32-bit targets), so the host can
 * hand it on as it stands. The caller fills method, uri and, when it sends a value, one argument
 * without a name; callToken carries the caller's client word (HostContext.clientWord); every
 * other field is 0. The answer is a HostResponse that the caller zeroes before the call and
 * releases through its release callback when done. A streamed answer is read in chunks of
 * HOST_STREAM_CHUNK_SIZE bytes; after a short chunk with more to come the caller yields to the
 * host inside a wait bracket labelled HOST_STREAM_YIELD_LABEL, and once it has released the
 * stream itself it clears streamRead, streamRelease and streamContext, so that the response's
 * release callback does not release the stream a second time. */

typedef HostRequest HostRemotingRequest;

#define HOST_STREAM_CHUNK_SIZE 4096u
#define HOST_STREAM_YIELD_LABEL "Wait: yield"

ZC_ASSERT_SIZE_32(HostRemotingRequest, 48);
ZC_ASSERT_OFFSET_32(HostRemotingRequest, uri, 4);
ZC_ASSERT_OFFSET_32(HostRemotingRequest, arguments, 8);
ZC_ASSERT_OFFSET_32(HostRemotingRequest, argumentCount, 12);
ZC_ASSERT_OFFSET_32(HostRemotingRequest, callToken, 40); /* word 10 */
ZC_ASSERT_OFFSET_32(HostResponse, streamRead, 38);
ZC_ASSERT_OFFSET_32(HostResponse, streamRelease, 42);
ZC_ASSERT_OFFSET_32(HostResponse, streamContext, 54);
ZC_BOUNDARY_ASSERT(offsetof(HostRemotingRequest, callToken) ==
                       offsetof(HostRemotingRequest, bodyLength) + 4,
                   "the call token follows the body length on every target");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZUN_CLUBS_PLUGIN_HOST_BOUNDARY_H_ */
