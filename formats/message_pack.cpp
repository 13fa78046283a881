#include "formats/message_pack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/value_builder.h"
#include "logging/message_format.h"

namespace Kolm {

namespace {

// What a first byte announces.
enum class TokenClass : std::uint8_t {
    PositiveFixInt,
    FixMap,
    FixArray,
    FixStr,
    Nil,
    Invalid,
    False,
    True,
    Bin8,
    Bin16,
    Bin32,
    Float32,
    Float64,
    UInt8,
    UInt16,
    UInt32,
    UInt64,
    Int8,
    Int16,
    Int32,
    Int64,
    Str8,
    Str16,
    Str32,
    Array16,
    Array32,
    Map16,
    Map32,
    NegativeFixInt,
};

constexpr TokenClass ClassOf(std::uint8_t byte) {
    if (byte <= 0x7F)
        return TokenClass::PositiveFixInt;
    if (byte <= 0x8F)
        return TokenClass::FixMap;
    if (byte <= 0x9F)
        return TokenClass::FixArray;
    if (byte <= 0xBF)
        return TokenClass::FixStr;
    if (byte >= 0xE0)
        return TokenClass::NegativeFixInt;
    switch (byte) {
        case 0xC0:
            return TokenClass::Nil;
        case 0xC2:
            return TokenClass::False;
        case 0xC3:
            return TokenClass::True;
        case 0xC4:
            return TokenClass::Bin8;
        case 0xC5:
            return TokenClass::Bin16;
        case 0xC6:
            return TokenClass::Bin32;
        case 0xCA:
            return TokenClass::Float32;
        case 0xCB:
            return TokenClass::Float64;
        case 0xCC:
            return TokenClass::UInt8;
        case 0xCD:
            return TokenClass::UInt16;
        case 0xCE:
            return TokenClass::UInt32;
        case 0xCF:
            return TokenClass::UInt64;
        case 0xD0:
            return TokenClass::Int8;
        case 0xD1:
            return TokenClass::Int16;
        case 0xD2:
            return TokenClass::Int32;
        case 0xD3:
            return TokenClass::Int64;
        case 0xD9:
            return TokenClass::Str8;
        case 0xDA:
            return TokenClass::Str16;
        case 0xDB:
            return TokenClass::Str32;
        case 0xDC:
            return TokenClass::Array16;
        case 0xDD:
            return TokenClass::Array32;
        case 0xDE:
            return TokenClass::Map16;
        case 0xDF:
            return TokenClass::Map32;
        default:
            return TokenClass::Invalid;  // 0xC1, ext 8/16/32, fixext 1-16
    }
}

struct ClassTable {
    TokenClass classes[256];
    constexpr ClassTable() : classes() {
        for (int byte = 0; byte < 256; ++byte) {
            classes[byte] = ClassOf(static_cast<std::uint8_t>(byte));
        }
    }
};
constexpr ClassTable kClassTable;

static_assert(kClassTable.classes[0xC1] == TokenClass::Invalid);
static_assert(kClassTable.classes[0xD8] == TokenClass::Invalid);
static_assert(kClassTable.classes[0xD9] == TokenClass::Str8);

// An open container, beside the builder's frame for it. Items count keys and values of a map
// separately, so a map of n entries expects 2n.
struct PackFrame {
    std::uint32_t expected;
    std::uint32_t read;
    bool isMap;
    std::string_view key;  // the key just read; points into the input
    std::size_t start;     // position of the first item
};

class MessagePackReader {
  public:
    MessagePackReader(const std::uint8_t* bytes, std::size_t size, BindingResult& result)
        : bytes(bytes), size(size), result(result), builder(result.value) {
        frames.reserve(16);
        // The binary form is denser than JSON of the same value (no quotes, separators or
        // digits), so it holds more texts per byte.
        builder.ReserveTextsFor(bytes != nullptr ? size * 2 : 0);
    }

    std::size_t Run();

  private:
    // Where the next token goes; null when the next token is a map key. False when the root
    // value is complete.
    bool NextTarget(BindingProperty*& target);
    void ReadKey(std::uint8_t byte);
    void ReadValue(std::uint8_t byte, BindingProperty& target);
    [[gnu::always_inline]] inline void ReadString(std::uint32_t length, BindingProperty& target);
    void FailTruncatedString(std::uint32_t length);
    void ReadBlob(std::uint32_t length, BindingProperty& target);
    void OpenArray(std::uint32_t count, BindingProperty& target);
    void OpenMap(std::uint32_t count, BindingProperty& target);

    // Reads an N-byte big-endian payload; fails with the truncation message when it is short.
    // It runs for most tokens, so it is inlined into the token switch; the failure is not.
    template <class T>
    [[gnu::always_inline]] inline bool ReadBigEndian(T& value);
    void FailTruncated(std::size_t payloadBytes);
    // Fails when the input ended inside a container: the innermost one still missing items.
    void CheckContainersComplete();
    std::size_t Remaining() const { return size - position; }
    void Fail(const std::string& message) { result.Fail(message); }

    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t position = 0;
    BindingResult& result;
    ValueBuilder builder;
    std::vector<PackFrame> frames;
    bool rootStarted = false;
};

template <class T>
bool MessagePackReader::ReadBigEndian(T& value) {
    if (Remaining() < sizeof(T)) {
        FailTruncated(sizeof(T));
        return false;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bits = (bits << 8) | bytes[position + i];
    }
    position += sizeof(T);
    if constexpr (sizeof(T) == 1) {
        value = static_cast<T>(static_cast<std::uint8_t>(bits));
    } else if constexpr (sizeof(T) == 2) {
        value = static_cast<T>(static_cast<std::uint16_t>(bits));
    } else if constexpr (sizeof(T) == 4) {
        const auto narrow = static_cast<std::uint32_t>(bits);
        std::memcpy(&value, &narrow, sizeof value);
    } else {
        std::memcpy(&value, &bits, sizeof value);
    }
    return true;
}

void MessagePackReader::FailTruncated(std::size_t payloadBytes) {
    static constexpr const char* kTruncated[] = {
        "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.",
        "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.",
        "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.",
        "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.",
    };
    const int sizeIndex = payloadBytes == 1 ? 0 : payloadBytes == 2 ? 1 : payloadBytes == 4 ? 2 : 3;
    Fail(Format(kTruncated[sizeIndex], position));
}

std::size_t MessagePackReader::Run() {
    while (result.Succeeded() && position < size) {
        BindingProperty* target = nullptr;
        if (!NextTarget(target)) {
            break;  // the root value is complete; trailing bytes are not read
        }
        const std::uint8_t byte = bytes[position++];
        if (target == nullptr) {
            ReadKey(byte);
        } else {
            ReadValue(byte, *target);
        }
    }
    if (result.Succeeded()) {
        CheckContainersComplete();
    }
    return position;
}

void MessagePackReader::CheckContainersComplete() {
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
        if (frame->read < frame->expected) {
            Fail(frame->isMap
                     ? Format("Invalid MessagePack data. Map of %1 entries at position %2 is "
                              "truncated.",
                              frame->expected / 2, frame->start)
                     : Format("Invalid MessagePack data. Array of %1 items at position %2 is "
                              "truncated.",
                              frame->expected, frame->start));
            return;
        }
    }
}

bool MessagePackReader::NextTarget(BindingProperty*& target) {
    while (!frames.empty() && frames.back().read == frames.back().expected) {
        frames.pop_back();
        builder.Close();
    }
    if (frames.empty()) {
        if (rootStarted) {
            return false;
        }
        rootStarted = true;
        target = &builder.Target();
        return true;
    }
    PackFrame& frame = frames.back();
    const bool keyPosition = frame.isMap && frame.read % 2 == 0;
    ++frame.read;
    if (keyPosition) {
        target = nullptr;
        return true;
    }
    if (frame.isMap) {
        builder.SetKey(frame.key);
    }
    target = &builder.Target();
    return true;
}

void MessagePackReader::ReadKey(std::uint8_t byte) {
    std::uint32_t length = 0;
    switch (kClassTable.classes[byte]) {
        case TokenClass::FixStr:
            length = byte & 0x1Fu;
            break;
        case TokenClass::Str8: {
            std::uint8_t value = 0;
            if (!ReadBigEndian(value))
                return;
            length = value;
            break;
        }
        case TokenClass::Str16: {
            std::uint16_t value = 0;
            if (!ReadBigEndian(value))
                return;
            length = value;
            break;
        }
        case TokenClass::Str32:
            if (!ReadBigEndian(length))
                return;
            break;
        default:
            Fail(Format("Invalid MessagePack data at position %1. Map keys must be strings.",
                        position));
            return;
    }
    if (Remaining() < length) {
        Fail(Format("Invalid MessagePack data. String of size %1 at position %2 is truncated.",
                    length, position));
        return;
    }
    frames.back().key = {reinterpret_cast<const char*>(bytes + position), length};
    position += length;
}

void MessagePackReader::ReadValue(std::uint8_t byte, BindingProperty& target) {
    switch (kClassTable.classes[byte]) {
        case TokenClass::PositiveFixInt:
            target = static_cast<std::int64_t>(byte);
            return;
        case TokenClass::NegativeFixInt:
            target = static_cast<std::int64_t>(static_cast<std::int8_t>(byte));
            return;
        case TokenClass::FixMap:
            OpenMap(byte & 0x0Fu, target);
            return;
        case TokenClass::FixArray:
            OpenArray(byte & 0x0Fu, target);
            return;
        case TokenClass::FixStr:
            ReadString(byte & 0x1Fu, target);
            return;
        case TokenClass::Nil:
            target.Clear();  // Empty, also over a repeated key's earlier value
            return;
        case TokenClass::Invalid:
            Fail(Format("Invalid MessagePack data at position %1.", position));
            return;
        case TokenClass::False:
            target = false;
            return;
        case TokenClass::True:
            target = true;
            return;
        case TokenClass::Bin8: {
            std::uint8_t length = 0;
            if (ReadBigEndian(length))
                ReadBlob(length, target);
            return;
        }
        case TokenClass::Bin16: {
            std::uint16_t length = 0;
            if (ReadBigEndian(length))
                ReadBlob(length, target);
            return;
        }
        case TokenClass::Bin32: {
            std::uint32_t length = 0;
            if (ReadBigEndian(length))
                ReadBlob(length, target);
            return;
        }
        case TokenClass::Float32: {
            float value = 0;
            if (ReadBigEndian(value))
                target = static_cast<double>(value);
            return;
        }
        case TokenClass::Float64: {
            double value = 0;
            if (ReadBigEndian(value))
                target = value;
            return;
        }
        case TokenClass::UInt8: {
            std::uint8_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::uint64_t>(value);
            return;
        }
        case TokenClass::UInt16: {
            std::uint16_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::uint64_t>(value);
            return;
        }
        case TokenClass::UInt32: {
            std::uint32_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::uint64_t>(value);
            return;
        }
        case TokenClass::UInt64: {
            std::uint64_t value = 0;
            if (ReadBigEndian(value))
                target = value;
            return;
        }
        case TokenClass::Int8: {
            std::int8_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::int64_t>(value);
            return;
        }
        case TokenClass::Int16: {
            std::int16_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::int64_t>(value);
            return;
        }
        case TokenClass::Int32: {
            std::int32_t value = 0;
            if (ReadBigEndian(value))
                target = static_cast<std::int64_t>(value);
            return;
        }
        case TokenClass::Int64: {
            std::int64_t value = 0;
            if (ReadBigEndian(value))
                target = value;
            return;
        }
        case TokenClass::Str8: {
            std::uint8_t length = 0;
            if (ReadBigEndian(length))
                ReadString(length, target);
            return;
        }
        case TokenClass::Str16: {
            std::uint16_t length = 0;
            if (ReadBigEndian(length))
                ReadString(length, target);
            return;
        }
        case TokenClass::Str32: {
            std::uint32_t length = 0;
            if (ReadBigEndian(length))
                ReadString(length, target);
            return;
        }
        case TokenClass::Array16: {
            std::uint16_t count = 0;
            if (ReadBigEndian(count))
                OpenArray(count, target);
            return;
        }
        case TokenClass::Array32: {
            std::uint32_t count = 0;
            if (ReadBigEndian(count))
                OpenArray(count, target);
            return;
        }
        case TokenClass::Map16: {
            std::uint16_t count = 0;
            if (ReadBigEndian(count))
                OpenMap(count, target);
            return;
        }
        case TokenClass::Map32: {
            const std::size_t countPosition = position;
            std::uint32_t count = 0;
            if (!ReadBigEndian(count))
                return;
            if (count > UINT32_MAX / 2) {  // 2 items per entry would not fit the item count
                Fail(Format("Invalid MessagePack data at position %1.", countPosition));
                return;
            }
            OpenMap(count, target);
            return;
        }
    }
}

void MessagePackReader::ReadString(std::uint32_t length, BindingProperty& target) {
    if (Remaining() < length) {
        FailTruncatedString(length);
        return;
    }
    target = std::string_view(reinterpret_cast<const char*>(bytes + position), length);
    position += length;
}

void MessagePackReader::FailTruncatedString(std::uint32_t length) {
    Fail(Format("Invalid MessagePack data. String of size %1 at position %2 is truncated.", length,
                position));
}

void MessagePackReader::ReadBlob(std::uint32_t length, BindingProperty& target) {
    if (Remaining() < length) {
        Fail(Format("Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.",
                    length, position));
        return;
    }
    target = std::span<const std::uint8_t>(bytes + position, length);
    position += length;
}

void MessagePackReader::OpenArray(std::uint32_t count, BindingProperty& target) {
    if (!builder.OpenCollection(target)) {
        Fail(Format("Invalid MessagePack data at position %1. %2.", position,
                    ValueBuilder::kNestingTooDeepText));
        return;
    }
    // Every element takes at least one byte, so the bytes left bound what a count can claim.
    target.Reserve(std::min<std::size_t>(count, Remaining()));
    frames.push_back({count, 0, false, {}, position});
}

void MessagePackReader::OpenMap(std::uint32_t count, BindingProperty& target) {
    if (!builder.OpenStructure(target)) {
        Fail(Format("Invalid MessagePack data at position %1. %2.", position,
                    ValueBuilder::kNestingTooDeepText));
        return;
    }
    frames.push_back({count * 2, 0, true, {}, position});
}

}  // namespace

BindingResult ParseMessagePack(const void* bytes, std::size_t size, std::size_t* consumed) {
    BindingResult result;
    MessagePackReader reader(static_cast<const std::uint8_t*>(bytes), size, result);
    const std::size_t read = bytes != nullptr ? reader.Run() : 0;
    if (consumed != nullptr) {
        *consumed = read;
    }
    return result;
}

bool LooksLikeMessagePack(const void* bytes, std::size_t size) {
    if (bytes == nullptr || size == 0) {
        return false;
    }
    const std::uint8_t first = *static_cast<const std::uint8_t*>(bytes);
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace Kolm
