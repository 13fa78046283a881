// Named members of a JSON object being written, for any RapidJSON writer (compact or pretty);
// the overload follows the value's kind.
#pragma once

#include <rapidjson/rapidjson.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace Kolm::Host {

template <class Writer>
void JsonField(Writer& w, const char* name, const std::string& text) {
    w.Key(name);
    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}
// A literal is written as text, not taken for the bool its pointer converts to.
template <class Writer>
void JsonField(Writer& w, const char* name, const char* text) {
    w.Key(name);
    w.String(text, static_cast<rapidjson::SizeType>(std::strlen(text)));
}
template <class Writer>
void JsonField(Writer& w, const char* name, std::uint64_t value) {
    w.Key(name);
    w.Uint64(value);
}
template <class Writer>
void JsonField(Writer& w, const char* name, std::int64_t value) {
    w.Key(name);
    w.Int64(value);
}
template <class Writer>
void JsonField(Writer& w, const char* name, std::int32_t value) {
    w.Key(name);
    w.Int(value);
}
template <class Writer>
void JsonField(Writer& w, const char* name, bool value) {
    w.Key(name);
    w.Bool(value);
}

}  // namespace Kolm::Host
