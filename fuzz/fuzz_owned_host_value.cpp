// JSON text to a host value tree and back, as the host's simulated plugins and tests use it.
// Whatever FromJson accepts writes as the JSON reader's own compact form (texts holding a zero
// byte aside: a host value's texts end at their first zero, as the C boundary's texts do);
// that JSON reads back to a tree that writes the same; a copy, a copy assigned over another
// tree and a tree handed over with Release and Adopt write the same too. Nothing may leak.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/boundary/bounded_json.h"
#include "host/boundary/owned_host_value.h"

namespace {

using Kolm::Host::OwnedHostValue;

[[noreturn]] void Fail(const char* what, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s\n%s\n---\n%s\n", what, a.c_str(), b.c_str());
    __builtin_trap();
}

// The document's own compact form of `json` (read as FromJson reads it), or none when it does
// not parse.
std::optional<std::string> ReaderCompact(std::string_view json) {
    rapidjson::Document document;
    if (!Kolm::Host::ParseBoundedJson(json, document)) {
        return std::nullopt;
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<OwnedHostValue> value = OwnedHostValue::FromJson(text);
    const std::optional<std::string> compact = ReaderCompact(text);
    if (value.has_value() != compact.has_value()) {
        Fail("FromJson and the reader disagree on whether this parses", std::string(text), "");
    }
    if (!value) {
        return 0;
    }
    const std::string json = value->ToJson();
    // The writer escapes a zero byte as \u0000, which a host text cannot hold.
    if (compact->find("\\u0000") == std::string::npos && json != *compact) {
        Fail("FromJson lost or changed part of the value", *compact, json);
    }

    std::optional<OwnedHostValue> again = OwnedHostValue::FromJson(json);
    if (!again) {
        Fail("the written JSON does not read back", json, "");
    }
    if (again->ToJson() != json) {
        Fail("the JSON read back writes differently", json, again->ToJson());
    }

    const OwnedHostValue copy = *value;
    if (copy.ToJson() != json) {
        Fail("a copy writes differently", json, copy.ToJson());
    }
    *again = copy;  // assigned over a tree of its own
    OwnedHostValue adopted = OwnedHostValue::Adopt(value->Release());
    if (again->ToJson() != json || adopted.ToJson() != json || value->ToJson() != "null") {
        Fail("an assigned or handed-over tree writes differently", json, adopted.ToJson());
    }
    return 0;
}
