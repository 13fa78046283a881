// ParseExactJson: a RapidJSON document read with every number converted to the nearest double
// (or kept whole when it is an integer of 64 bits), so that a number the host writes back out
// (an exported world, a listed fault rule, a value sent on) reads as the same number again.
//
// RapidJSON's own reading is not enough here: its default conversion may land a few steps off
// the nearest double, and its full-precision mode in the packaged version gives wrong values
// for long integers (1844674407370955161592 reads as 128). So numbers come from the reader as
// their text and are converted with std::from_chars. Header only: the host's libraries that
// read JSON do not otherwise depend on each other.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace Kolm::Host {
namespace exact_json_detail {

// True when the decimal `text` (a valid JSON number) lies below 1 in magnitude, that is, when
// a conversion out of range means underflow rather than overflow.
inline bool BelowOne(std::string_view text) {
    std::size_t i = text.front() == '-' ? 1 : 0;
    long long magnitude = 0;  // the position of the first significant digit, 1 for "1.0"
    bool significant = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        significant = significant || text[i] != '0';
        magnitude += significant ? 1 : 0;
    }
    if (!significant && i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] == '0'; ++i) {
            --magnitude;
        }
    }
    const std::size_t e = text.find_first_of("eE");
    if (e != std::string_view::npos) {
        long long exponent = 0;
        const char* first = text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0);
        const auto [end, error] = std::from_chars(first, text.data() + text.size(), exponent);
        if (error == std::errc::result_out_of_range) {
            return text[e + 1] == '-';
        }
        magnitude += exponent;
    }
    return magnitude <= 0;
}

// Forwards every event to the document, numbers converted from their text.
class NumberHandler {
  public:
    explicit NumberHandler(rapidjson::Document& document) : document_(document) {}

    bool Null() { return document_.Null(); }
    bool Bool(bool value) { return document_.Bool(value); }
    bool Int(int value) { return document_.Int(value); }
    bool Uint(unsigned value) { return document_.Uint(value); }
    bool Int64(int64_t value) { return document_.Int64(value); }
    bool Uint64(uint64_t value) { return document_.Uint64(value); }
    bool Double(double value) { return document_.Double(value); }
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.String(text, length, copy);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.Key(text, length, copy);
    }
    bool StartObject() { return document_.StartObject(); }
    bool EndObject(rapidjson::SizeType count) { return document_.EndObject(count); }
    bool StartArray() { return document_.StartArray(); }
    bool EndArray(rapidjson::SizeType count) { return document_.EndArray(count); }

    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        const std::string_view number(text, length);
        const char* end = text + length;
        if (number.find_first_of(".eE") == std::string_view::npos) {
            if (number.front() == '-') {
                int64_t value = 0;
                if (std::from_chars(text, end, value).ec == std::errc()) {
                    return document_.Int64(value);
                }
            } else {
                uint64_t value = 0;
                if (std::from_chars(text, end, value).ec == std::errc()) {
                    return document_.Uint64(value);
                }
            }
        }
        double value = 0.0;
        const std::errc error = std::from_chars(text, end, value).ec;
        if (error == std::errc::result_out_of_range && BelowOne(number)) {
            return document_.Double(number.front() == '-' ? -0.0 : 0.0);
        }
        // Out of range above: too big for a double, refused as RapidJSON refuses it.
        return error == std::errc() && document_.Double(value);
    }

  private:
    rapidjson::Document& document_;
};

}  // namespace exact_json_detail

// Parses `text` into `document`; on a parse error `document` is left null and the result says
// what went wrong and where (a number too big for a double is refused at its end).
inline rapidjson::ParseResult ParseExactJson(rapidjson::Document& document, std::string_view text) {
    rapidjson::ParseResult result;
    auto generate = [&](rapidjson::Document& target) {
        exact_json_detail::NumberHandler handler(target);
        rapidjson::MemoryStream bytes(text.data(), text.size());
        rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> stream(bytes);
        rapidjson::Reader reader;
        result = reader.Parse<rapidjson::kParseNumbersAsStringsFlag>(stream, handler);
        return !result.IsError();
    };
    document.Populate(generate);
    return result;
}

}  // namespace Kolm::Host
