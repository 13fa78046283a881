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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZUN_CLUBS_PLUGIN_HOST_BOUNDARY_H_ */
