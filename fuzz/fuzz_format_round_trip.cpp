// Whatever a reader accepts, written as JSON and read again, is the same value. The first byte
// picks the reader (JSON, MessagePack or YAML) and whether the pretty form is written.
//
// JSON has fewer kinds than a value, so the comparison is modulo what JSON cannot tell apart:
// a non-negative Signed reads back as Unsigned, a Blob as its base64 String, an Enum as its
// number, a NaN or infinite Float as null. Floats come back with the same bits. Texts holding a
// zero byte are skipped: JSON strings end at their first zero character by design.
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

bool HasZeroByte(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

bool HasZeroText(const BindingProperty& value) {
    if (value.IsString()) {
        return HasZeroByte(value.GetString());
    }
    for (const Kolm::BindingEntry& entry : value.Entries()) {
        if (HasZeroByte(entry.Key()) || HasZeroText(entry.Value())) {
            return true;
        }
    }
    for (const BindingProperty& element : value.Elements()) {
        if (HasZeroText(element)) {
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
    if (!first.Succeeded() || first.value.IsEmpty() || HasZeroText(first.value)) {
        return 0;
    }
    const std::string text = Kolm::WriteJson(first.value, nullptr, data[0] & 4 ? "\n" : "");
    Kolm::BindingResult second = Kolm::ParseJson(text);
    if (!second.Succeeded() || !SameAsJson(first.value, second.value)) {
        __builtin_trap();
    }
    return 0;
}
