// Builds host request records from fuzz bytes and hands them to the endpoint handler of the test
// API, as a host would: any URI, method, headers, explicit arguments of any host value kind and
// bodies of any content type. The handler must answer every record without crashing or leaking,
// and its answer must release cleanly, twice.
//
// Input: byte 0 picks the endpoint, byte 1 the method code, byte 2 the flags; the rest is split at
// 0x0A into the URI, content type, body, header name, header value, argument name and argument
// payload (its first byte the host value kind).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "plugin/host_boundary.h"
#include "tests/api/test_endpoints.h"

namespace {

struct TestApi {
    Kolm::ApiTest::TestHandlers handlers;
    Kolm::ApiRegistry api;
    std::vector<const HostFunctionEntry*> entries;

    TestApi() {
        api.Types().RegisterBuiltins();
        Kolm::ApiTest::RegisterTestApi(api, &handlers);
        const HostApiDescription* description = api.BuildDescription();
        for (const HostFunctionEntry* entry = description->functions; entry; entry = entry->next) {
            entries.push_back(entry);
        }
    }
};

std::vector<std::string> SplitFields(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && fields.size() < 7) {
            fields.emplace_back();
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    fields.resize(7);
    return fields;
}

// A host value of the kind the payload's first byte names; texts and arrays point into `text`
// and `element`, which outlive the call.
HostValue MakeValue(const std::string& payload, HostValue& element, HostValueEntry& entry) {
    HostValue value{};
    if (payload.empty()) {
        return value;
    }
    value.kind = static_cast<uint8_t>(payload[0]) % 12;
    std::string_view rest = std::string_view(payload).substr(1);
    uint64_t bits = 0;
    std::memcpy(&bits, rest.data(), rest.size() < 8 ? rest.size() : 8);
    switch (value.kind) {
        case HOST_VALUE_KIND_BOOL:
            value.payload.boolean = static_cast<uint8_t>(bits);
            break;
        case HOST_VALUE_KIND_SIGNED:
        case HOST_VALUE_KIND_UNSIGNED:
        case HOST_VALUE_KIND_FLOAT:
            value.payload.unsignedNumber = bits;
            break;
        case HOST_VALUE_KIND_BORROWED_STRING:
        case HOST_VALUE_KIND_STRING:
            value.payload.string.text = payload.c_str() + 1;
            value.payload.string.length = static_cast<uint32_t>(std::strlen(payload.c_str() + 1));
            break;
        case HOST_VALUE_KIND_BORROWED_BLOB:
        case HOST_VALUE_KIND_BLOB:
            value.payload.blob.bytes = reinterpret_cast<const uint8_t*>(payload.data() + 1);
            value.payload.blob.length = static_cast<uint32_t>(rest.size());
            break;
        case HOST_VALUE_KIND_COLLECTION:
            element.kind = HOST_VALUE_KIND_UNSIGNED;
            element.payload.unsignedNumber = bits;
            value.payload.collection.items = &element;
            value.payload.collection.count = 1;
            break;
        case HOST_VALUE_KIND_STRUCTURE:
            entry.key = payload.c_str() + 1;
            entry.value = HostValue{};
            entry.ownsKey = 0;
            value.payload.structure.entries = &entry;
            value.payload.structure.count = 1;
            break;
        default:
            value.payload.unsignedNumber = bits;
            break;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TestApi* test = new TestApi();
    if (size < 3) {
        return 0;
    }
    const HostFunctionEntry* entry = test->entries[data[0] % test->entries.size()];
    uint8_t flags = data[2];
    std::vector<std::string> fields = SplitFields(data + 3, size - 3);

    HostHeader header{fields[3].c_str(), fields[4].c_str()};
    HostValue element{};
    HostValueEntry member{};
    HostArgument argument{(flags & 1) ? nullptr : fields[5].c_str(),
                          MakeValue(fields[6], element, member)};

    HostRequest request{};
    request.method = data[1] % 10;
    request.uri = fields[0].c_str();
    request.dispatchRecord = (flags & 2) ? nullptr : entry->dispatchRecord;
    if (flags & 4) {
        request.headers = &header;
        request.headerCount = 1;
    }
    if (flags & 8) {
        request.arguments = &argument;
        request.argumentCount = 1;
    }
    request.contentType = (flags & 16) ? nullptr : fields[1].c_str();
    if (flags & 32) {
        request.body = reinterpret_cast<const uint8_t*>(fields[2].data());
        request.bodyLength = static_cast<uint32_t>(fields[2].size());
    } else if (flags & 64) {
        request.bodyLength = 1000;  // a length without a body
    }
    request.methodName = "PURGE";

    HostResponse response;
    std::memset(&response, 0xCD, sizeof(response));
    entry->handler(&response, &request);
    if (response.streamRead != nullptr) {
        uint8_t buffer[16];
        uint8_t more = 1;
        for (int i = 0; i < 8 && more; ++i) {
            uint32_t count = sizeof(buffer);
            if (!response.streamRead(response.streamContext, buffer, &count, &more)) {
                break;
            }
        }
    }
    HostResponseReleaseFunction release = response.release;
    release(&response);
    release(&response);
    return 0;
}
