// ParseJson: a handler for RapidJSON's SAX reader that builds the value as events arrive.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "binding/binding_arena.h"
#include "formats/json.h"
#include "formats/value_builder.h"

namespace Kolm {

namespace {

// A RapidJSON input stream over a text that need not be zero-terminated; its end reads as the
// zero byte that ends a JSON text.
class BoundedStream {
  public:
    using Ch = char;

    explicit BoundedStream(std::string_view text)
        : begin(text.data()), current(text.data()), end(text.data() + text.size()) {}

    Ch Peek() const { return current != end ? *current : '\0'; }
    Ch Take() { return current != end ? *current++ : '\0'; }
    std::size_t Tell() const { return static_cast<std::size_t>(current - begin); }

    // Writing is for in-place parsing, which is not used.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

  private:
    const char* begin;
    const char* current;
    const char* end;
};

constexpr std::size_t kEscapeSize = 6;  // a reverse solidus, "u" and four hexadecimal digits

bool ZeroEscapeAt(const char* at) {
    return std::memcmp(at, "\\u0000", kEscapeSize) == 0;
}

// "\uDC" to "\uDF" in either case: an escape of a low surrogate, which RapidJSON turns into the
// bytes of a surrogate (not UTF-8) when no high surrogate escape came before it.
bool LowSurrogateEscapeAt(const char* at) {
    const char third = static_cast<char>(at[3] | 0x20);
    return at[0] == '\\' && at[1] == 'u' && (at[2] | 0x20) == 'd' && third >= 'c' && third <= 'f';
}

// Sixteen bytes as one vector (a GCC and Clang extension): compares and ands on it become
// vector instructions where the processor has them and plain ones elsewhere. Vectors stay in
// local variables: passing or returning them would depend on the processor's calling rules.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// Whether a reverse solidus followed by a "u" starts anywhere in the sixteen bytes at `at`
// (reading seventeen).
bool SolidusBeforeU(const char* at) {
    Bytes16 here;
    Bytes16 next;
    std::memcpy(&here, at, sizeof here);
    std::memcpy(&next, at + 1, sizeof next);
    const auto pairs = (here == '\\') & (next == 'u');
    std::uint64_t halves[2];
    std::memcpy(halves, &pairs, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// Whether an escape that `EscapeAt` recognises may start anywhere in the text. A decoded
// string can hold a zero character only through the escape \u0000 (a raw zero byte ends the
// text), and the bytes of a surrogate only through a \u escape of one, so texts without such
// an escape skip the search for them in every string. An escaped reverse solidus before the
// "u" counts too: a false alarm only costs those searches. Most texts have few reverse solidi,
// and the library search skips from one to the next at vector speed. A text with many short
// escapes (\n, \") would restart it at each, so once they are dense the rest is read sixteen
// bytes at a time, looking for a solidus before a "u".
template <bool (*EscapeAt)(const char*)>
bool MayDecode(std::string_view text) {
    constexpr std::size_t kStep = sizeof(Bytes16);
    const char* const bytes = text.data();
    if (text.size() < kEscapeSize) {
        return false;
    }
    const std::size_t last = text.size() - kEscapeSize;  // the last place one can start
    std::size_t at = 0;
    // Hop from solidus to solidus while they are sparser than one per 64 bytes on average
    // (after the first few, which say little).
    for (std::size_t found = 0; found < 16 || at >= found * 64; ++found) {
        const void* solidus = std::memchr(bytes + at, '\\', last + 1 - at);
        if (solidus == nullptr) {
            return false;
        }
        at = static_cast<std::size_t>(static_cast<const char*>(solidus) - bytes);
        if (EscapeAt(bytes + at)) {
            return true;
        }
        if (++at > last) {
            return false;
        }
    }
    for (; at + kStep <= last; at += kStep) {
        if (SolidusBeforeU(bytes + at)) {
            for (std::size_t i = 0; i < kStep; ++i) {
                if (EscapeAt(bytes + at + i)) {
                    return true;
                }
            }
        }
    }
    for (; at <= last; ++at) {
        if (EscapeAt(bytes + at)) {
            return true;
        }
    }
    return false;
}

// Whether a decoded string holds the UTF-8 form of a surrogate (ED followed by A0 to BF). The
// reader has checked the raw bytes, so such a form comes from an escape of a low surrogate
// without its high half.
bool HoldsSurrogate(const char* text, std::size_t length) {
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

template <class Stream>
class JsonHandler {
  public:
    JsonHandler(BindingProperty& root, std::string_view text, const Stream& stream)
        : root(root),
          builder(root),
          stream(stream),
          input(text.data()),
          inputBytes(text.size()),
          mayDecodeZero(MayDecode<ZeroEscapeAt>(text)),
          mayDecodeSurrogate(MayDecode<LowSurrogateEscapeAt>(text)) {
        builder.ReserveTextsFor(text.size());
    }

    bool TooDeep() const { return tooDeep; }
    bool Surrogate() const { return surrogate; }

    bool Null() {
        builder.Target().Clear();  // Empty, also over a repeated member's earlier value
        return true;
    }
    bool Bool(bool value) {
        builder.Target() = value;
        return true;
    }
    bool Int(int value) {
        builder.Target() = static_cast<std::int64_t>(value);
        return true;
    }
    bool Uint(unsigned value) {
        builder.Target() = static_cast<std::uint64_t>(value);
        return true;
    }
    bool Int64(std::int64_t value) {
        builder.Target() = value;
        return true;
    }
    bool Uint64(std::uint64_t value) {
        builder.Target() = value;
        return true;
    }
    bool Double(double value) {
        builder.Target() = Exact(value);
        return true;
    }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }  // flag not used
    bool String(const char* text, rapidjson::SizeType length, bool) {
        if (!Unicode(text, length)) {
            return false;
        }
        builder.Target() = Text(text, length);
        if ((++strings & (kStringsPerForecast - 1)) == 0) {
            ForeseeTexts();
        }
        return true;
    }
    bool StartObject() { return Opened(builder.OpenStructure(builder.Target())); }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        if (!Unicode(text, length)) {
            return false;
        }
        builder.SetKey(Text(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        builder.Close();
        return true;
    }
    bool StartArray() { return Opened(builder.OpenCollection(builder.Target())); }
    bool EndArray(rapidjson::SizeType) {
        builder.Close();
        return true;
    }

  private:
    static constexpr std::uint32_t kStringsPerForecast = 1024;

    // The first size of the text table fits records with many keys; a document of mostly
    // distinct strings holds several times as many texts, and a table grown step by step
    // rehashes every text again at each step. So every so many strings the table is sized for
    // the texts the whole input will hold at the rate seen so far: mostly one rehash, early,
    // while the table is still small. Never for more than four times the texts already held,
    // so a document whose texts all come first cannot make the table outgrow them by much.
    void ForeseeTexts() {
        const std::size_t read = stream.Tell();
        if (root.Arena() == nullptr || read == 0) {
            return;
        }
        const std::uint64_t seen = root.Arena()->InternedTextCount();
        const std::uint64_t rest = inputBytes - std::min(read, inputBytes);
        const std::uint64_t forecast = seen + seen * rest / read;
        root.ReserveTexts(static_cast<std::size_t>(std::min(forecast, 4 * seen)));
    }

    // RapidJSON's default reading of a fraction or exponent can be a unit or so in the last place
    // off, so a double written in its shortest form would not read back as itself (its
    // full-precision mode is exact, but misreads a zero significand with a large exponent). The
    // number's text ends where the stream now stands and starts after the last character that
    // cannot be part of a number, so it is read again, exactly. Should that fail (a magnitude
    // below the smallest double, say), RapidJSON's value stands.
    double Exact(double approximate) const {
        const char* const end = input + stream.Tell();
        const char* begin = end;
        while (begin != input && IsNumberCharacter(begin[-1])) {
            --begin;
        }
        double exact = 0;
        const auto [stop, error] = std::from_chars(begin, end, exact);
        return error == std::errc() && stop == end ? exact : approximate;
    }

    static bool IsNumberCharacter(char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    }

    // Strings end at the first zero character they decode to.
    std::string_view Text(const char* text, rapidjson::SizeType length) const {
        if (mayDecodeZero) {
            if (const void* zero = std::memchr(text, 0, length)) {
                return {text, static_cast<std::size_t>(static_cast<const char*>(zero) - text)};
            }
        }
        return {text, length};
    }

    bool Unicode(const char* text, rapidjson::SizeType length) {
        surrogate = mayDecodeSurrogate && HoldsSurrogate(text, length);
        return !surrogate;
    }

    // Stopping here, before the reader recurses further, keeps its call stack bounded too.
    bool Opened(bool opened) {
        tooDeep = !opened;
        return opened;
    }

    BindingProperty& root;
    ValueBuilder builder;
    const Stream& stream;
    const char* input;
    std::size_t inputBytes;
    std::uint32_t strings = 0;
    bool mayDecodeZero;
    bool mayDecodeSurrogate;
    bool tooDeep = false;
    bool surrogate = false;
};

template <class Stream>
BindingResult Parse(Stream& stream, std::string_view text) {
    BindingResult result;
    JsonHandler<Stream> handler(result.value, text, stream);
    rapidjson::Reader reader;
    // Default precision, whose doubles the handler reads again exactly: the full-precision path
    // of the RapidJSON we build with misreads a zero significand with a large exponent ("0e80"
    // comes back near 1e266, through undefined behaviour in its normalisation).
    // Strings are checked as UTF-8 as they are read, and the handler refuses what a lone low
    // surrogate escape decodes to, so no text that is not UTF-8 gets into the value and out
    // again through the writer.
    const rapidjson::ParseResult parsed =
        reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler);
    if (parsed || parsed.Code() == rapidjson::kParseErrorDocumentEmpty) {
        return result;
    }
    const char* what = rapidjson::GetParseError_En(parsed.Code());
    if (handler.TooDeep()) {
        what = "Nesting is deeper than 512 levels.";
    } else if (handler.Surrogate()) {
        what = rapidjson::GetParseError_En(rapidjson::kParseErrorStringUnicodeSurrogateInvalid);
    }
    char message[256];
    std::snprintf(message, sizeof message, "Error: %s at offset %u.", what,
                  static_cast<unsigned>(parsed.Offset()));
    result.Fail(message);
    return result;
}

static_assert(ValueBuilder::kMaxNestingDepth == 512, "the nesting message names the limit");

}  // namespace

BindingResult ParseJson(const char* text) {
    const char* checked = text != nullptr ? text : "";
    rapidjson::StringStream stream(checked);
    return Parse(stream, checked);
}

BindingResult ParseJson(std::string_view text) {
    BoundedStream stream(text);
    const std::size_t zero = text.find('\0');
    return Parse(stream, zero != std::string_view::npos ? text.substr(0, zero) : text);
}

}  // namespace Kolm
