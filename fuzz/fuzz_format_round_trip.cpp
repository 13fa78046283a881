// Whatever a reader accepts, written as JSON and read again, is the same value. The first byte
// picks the reader (JSON, MessagePack or YAML) and whether the pretty form is written.
//
// JSON has fewer kinds than a value, so the comparison is modulo what JSON cannot tell apart:
// a non-negative Signed reads back as Unsigned, a Blob as its base64 String, an Enum as its
// number, a NaN or infinite Float as null. Floats come back with the same bits. Texts JSON cannot
// carry are skipped: JSON strings end at their first zero character by design, and the JSON
// reader refuses text that is not UTF-8, which MessagePack strings may still hold.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/json.h"
#include "formats/message_pack.h"
#include "formats/yaml.h"

namespace {

using Kolm::BindingKind;
using Kolm::BindingProperty;

// Strict UTF-8, as the JSON reader checks it: no overlong forms, surrogates or code points
// above U+10FFFF.
bool IsUtf8(std::string_view text) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    while (at != end) {
        const unsigned char lead = *at++;
        if (lead < 0x80) {
            continue;
        }
        const std::size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (lead < 0xC2 || lead > 0xF4 || static_cast<std::size_t>(end - at) < more || *at < low ||
            *at > high) {
            return false;
        }
        for (std::size_t i = 1; i < more; ++i) {
            if ((at[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        at += more;
    }
    return true;
}

bool IsNotJsonText(std::string_view text) {
    return text.find('\0') != std::string_view::npos || !IsUtf8(text);
}

bool HoldsNonJsonText(const BindingProperty& value) {
    if (value.IsString()) {
        return IsNotJsonText(value.GetString());
    }
    for (const Kolm::BindingEntry& entry : value.Entries()) {
        if (IsNotJsonText(entry.Key()) || HoldsNonJsonText(entry.Value())) {
            return true;
        }
    }
    for (const BindingProperty& element : value.Elements()) {
        if (HoldsNonJsonText(element)) {
            return true;
        }
    }
    return false;
}

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool SameAsJson(const BindingProperty& original, const BindingProperty& read) {
    switch (original.Kind()) {
        case BindingKind::Signed:
            if (original.GetSigned() >= 0) {
                return read.IsUnsigned() &&
                       read.GetUnsigned() == static_cast<std::uint64_t>(original.GetSigned());
            }
            return read.IsSigned() && read.GetSigned() == original.GetSigned();
        case BindingKind::Float:
            if (!std::isfinite(original.GetFloat())) {
                return read.IsEmpty();
            }
            return read.IsFloat() && SameBits(original.GetFloat(), read.GetFloat());
        case BindingKind::Blob:
            return read.IsString() && read.GetString() == original.ToString();
        case BindingKind::Enum: {
            const std::int32_t value = original.GetEnum().value;
            return value >= 0 ? read.IsUnsigned() && read.GetUnsigned() == std::uint64_t(value)
                              : read.IsSigned() && read.GetSigned() == value;
        }
        case BindingKind::Collection: {
            if (!read.IsCollection() || read.Size() != original.Size()) {
                return false;
            }
            for (std::size_t i = 0; i < original.Size(); ++i) {
                if (!SameAsJson(original.At(i), read.At(i))) {
                    return false;
                }
            }
            return true;
        }
        case BindingKind::Structure: {
            if (!read.IsStructure() || read.Size() != original.Size()) {
                return false;
            }
            const auto a = original.Entries();
            const auto b = read.Entries();
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (a[i].Key() != b[i].Key() || !SameAsJson(a[i].Value(), b[i].Value())) {
                    return false;
                }
            }
            return true;
        }
        default:
            return original == read;
    }
}

Kolm::BindingResult Read(std::uint8_t format, const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    switch (format % 3) {
        case 0:
            return Kolm::ParseJson(text);
        case 1:
            return Kolm::ParseMessagePack(data, size);
        default:
            return Kolm::ParseYaml(text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Kolm::BindingResult first = Read(data[0], data + 1, size - 1);
    if (!first.Succeeded() || first.value.IsEmpty() || HoldsNonJsonText(first.value)) {
        return 0;
    }
    const std::string text = Kolm::WriteJson(first.value, nullptr, data[0] & 4 ? "\n" : "");
    Kolm::BindingResult second = Kolm::ParseJson(text);
    if (!second.Succeeded() || !SameAsJson(first.value, second.value)) {
        __builtin_trap();
    }
    return 0;
}
