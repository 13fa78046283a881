#include "host/boundary/bounded_json.h"

#include <charconv>
#include <cstring>
#include <system_error>

#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

namespace Kolm::Host {
namespace {

using Stream = rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream>;

// Once the reader has checked the raw bytes, the only way to a UTF-8 encoded surrogate (ED
// followed by A0 to BF) in a decoded string is an escape of a low surrogate without its high
// half before it, which RapidJSON writes out as those bytes.
bool HoldsSurrogate(const char* text, rapidjson::SizeType length) {
    const char* const end = text + length;
    for (const char* at = text; at != end;) {
        const void* found = std::memchr(at, '\xED', static_cast<std::size_t>(end - at));
        if (found == nullptr) {
            return false;
        }
        at = static_cast<const char*>(found) + 1;
        if (at != end && static_cast<unsigned char>(*at) >= 0xA0) {
            return true;
        }
    }
    return false;
}

// True when the decimal `text` (a valid JSON number) lies below 1 in magnitude, that is, when
// a conversion out of range means underflow rather than overflow.
bool BelowOne(std::string_view text) {
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

// Passes the reader's events on to the document, stopping the reading at the first container
// beyond the limit and at the first string that holds a surrogate.
class BoundedHandler {
  public:
    BoundedHandler(rapidjson::Document& document, std::size_t maxNesting)
        : document_(document), maxNesting_(maxNesting) {}

    bool TooDeep() const { return tooDeep_; }
    bool Surrogate() const { return surrogate_; }

    bool Null() { return document_.Null(); }
    bool Bool(bool value) { return document_.Bool(value); }
    bool Int(int value) { return document_.Int(value); }
    bool Uint(unsigned value) { return document_.Uint(value); }
    bool Int64(int64_t value) { return document_.Int64(value); }
    bool Uint64(uint64_t value) { return document_.Uint64(value); }
    bool Double(double value) { return document_.Double(value); }
    // Numbers arrive as their text and are converted here with std::from_chars: RapidJSON's
    // default conversion may land a few steps off the nearest double, so a number the host
    // writes back out (an exported world, a listed rule) would not read as itself, and its
    // full-precision mode in the packaged version misreads long integers and zeros with large
    // exponents. Integers that fit 64 bits stay whole.
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
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return Checked(text, length) && document_.String(text, length, copy);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        return Checked(text, length) && document_.Key(text, length, copy);
    }
    bool StartObject() { return Opened() && document_.StartObject(); }
    bool EndObject(rapidjson::SizeType members) {
        --depth_;
        return document_.EndObject(members);
    }
    bool StartArray() { return Opened() && document_.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) {
        --depth_;
        return document_.EndArray(elements);
    }

  private:
    bool Opened() {
        tooDeep_ = ++depth_ > maxNesting_;
        return !tooDeep_;
    }
    bool Checked(const char* text, rapidjson::SizeType length) {
        surrogate_ = HoldsSurrogate(text, length);
        return !surrogate_;
    }

    rapidjson::Document& document_;
    std::size_t maxNesting_;
    std::size_t depth_ = 0;
    bool tooDeep_ = false;
    bool surrogate_ = false;
};

std::string AtOffset(std::size_t offset) {
    return " (at offset " + std::to_string(offset) + ")";
}

}  // namespace

BoundedJson ParseBoundedJson(std::string_view text,
                             rapidjson::Document& document,
                             std::size_t maxNesting) {
    constexpr unsigned kFlags =
        rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag |
        rapidjson::kParseNumbersAsStringsFlag;
    BoundedJson read;
    BoundedHandler handler(document, maxNesting);
    auto generate = [&](rapidjson::Document& target) {
        (void)target;  // the handler feeds the same document
        rapidjson::MemoryStream bytes(text.data(), text.size());
        Stream stream(bytes);
        rapidjson::Reader reader;
        read.result = reader.Parse<kFlags>(stream, handler);
        return !read.result.IsError();
    };
    document.SetNull();
    document.Populate(generate);
    if (read) {
        return read;
    }
    document.SetNull();
    const std::size_t offset = read.result.Offset();
    if (handler.TooDeep()) {
        read.refusal =
            "nests deeper than " + std::to_string(maxNesting) + " levels" + AtOffset(offset);
    } else if (read.result.Code() == rapidjson::kParseErrorStringInvalidEncoding) {
        read.refusal = "is not UTF-8" + AtOffset(offset);
    } else if (handler.Surrogate() ||
               read.result.Code() == rapidjson::kParseErrorStringUnicodeSurrogateInvalid) {
        read.refusal =
            "holds a surrogate escape without its pair, which is not UTF-8" + AtOffset(offset);
    }
    return read;
}

bool IsUtf8(std::string_view text) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    while (at != end) {
        const unsigned char lead = *at++;
        if (lead < 0x80) {
            continue;
        }
        // The range of the first continuation byte depends on the lead: it rules out overlong
        // forms (E0, F0), surrogates (ED) and code points above U+10FFFF (F4).
        std::size_t continuations = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - at) < continuations || *at < low || *at > high) {
            return false;
        }
        for (std::size_t i = 1; i < continuations; ++i) {
            if ((at[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        at += continuations;
    }
    return true;
}

}  // namespace Kolm::Host
