// OwnedHostValue: a HostValue tree built and owned by the host side, for the answers and
// events with which the host and the simulated plugins talk to a plugin, with JSON in and out
// so that tests can write values as text and read back what a plugin sent.
//
// All memory of the tree comes from the host's own heap (malloc) and goes back through
// FreeHostValue, never through the plugin's release functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

// Frees what `value` owns (owned texts and blobs, every element and entry, keys flagged as
// owned) and leaves kind 0 with a zero payload.
void FreeHostValue(HostValue& value);

// A deep copy on the host heap; borrowed texts and blobs become owned copies. Kinds outside
// 0 to 10 are copied as they stand (payload bits only), so bad input can be passed on as is.
HostValue CopyHostValue(const HostValue& value);

// The value written as compact JSON: blobs as base64 texts, kinds outside 0 to 10 as null.
std::string HostValueToJson(const HostValue& value);

class OwnedHostValue {
  public:
    OwnedHostValue() = default;
    // Takes ownership of `raw`, which must have been built on the host heap (or own nothing).
    static OwnedHostValue Adopt(HostValue raw);
    static OwnedHostValue Null() { return {}; }
    static OwnedHostValue Bool(bool value);
    static OwnedHostValue Signed(int64_t value);
    static OwnedHostValue Unsigned(uint64_t value);
    static OwnedHostValue Float(double value);
    static OwnedHostValue String(std::string_view text);
    static OwnedHostValue Blob(const std::vector<uint8_t>& bytes);
    static OwnedHostValue Collection(std::vector<OwnedHostValue> items);
    static OwnedHostValue Structure(std::vector<std::pair<std::string, OwnedHostValue>> entries);
    // Objects become structures (keys in the text's order), arrays collections, integers
    // signed (unsigned above the signed range), other numbers floats. Nothing when `json` does
    // not parse, nests deeper than kMaxJsonNesting or is not UTF-8 (see bounded_json.h).
    static std::optional<OwnedHostValue> FromJson(std::string_view json);
    struct JsonRead;
    // Like FromJson, saying why a text that parses as JSON was refused.
    static JsonRead ReadJson(std::string_view json);
    // Like FromJson, for texts a test writes itself: a text that does not parse is a defect of
    // the test and aborts it.
    static OwnedHostValue Json(std::string_view json);

    OwnedHostValue(const OwnedHostValue& other) : value_(CopyHostValue(other.value_)) {}
    OwnedHostValue& operator=(const OwnedHostValue& other);
    OwnedHostValue(OwnedHostValue&& other) noexcept : value_(other.Release()) {}
    OwnedHostValue& operator=(OwnedHostValue&& other) noexcept;
    ~OwnedHostValue() { FreeHostValue(value_); }

    const HostValue& Get() const { return value_; }
    // Hands the tree over; this value is left null.
    HostValue Release();
    std::string ToJson() const { return HostValueToJson(value_); }

  private:
    HostValue value_{};
};

struct OwnedHostValue::JsonRead {
    std::optional<OwnedHostValue> value;
    // Without a value: empty when the text is not JSON, else the refusal of ParseBoundedJson
    // ("nests deeper than 512 levels (at offset 512)").
    std::string refusal;
};

}  // namespace Kolm::Host
