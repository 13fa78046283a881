#include "host/boundary/bounded_json.h"

#include <cstring>

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
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.RawNumber(text, length, copy);
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
        rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
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
