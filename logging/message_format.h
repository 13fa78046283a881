// The positional message formatter: fills numbered templates such as
// "%1 which supports plugin API %2 is not compatible with core's plugin API %3".
//
// Template syntax:
//   "%%"          one "%"
//   "%N"          argument N (one digit, 1-9) in its natural form: texts as they are, integers
//                 in decimal, a char as that character, a value with ToString() as its text
//   "%N$spec"     argument N formatted by the printf specification `spec` (flags "-+ #0",
//                 width, precision, "*" or "*M$" for either, length modifier, conversion)
//   "%spec"       the next argument in sequence, formatted by `spec`
// Formatting ends, keeping the text so far, at an index above the number of arguments, at a
// specification longer than 60 characters, or at one without a valid conversion. The output is
// cut to the buffer size minus one and always terminated. Length modifiers are accepted and
// ignored: each argument carries its own type, and a mismatched conversion falls back to the
// argument's natural form, so no template can read an argument as the wrong type.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace Kolm {

// Message texts and log lines are formatted into buffers of this size.
inline constexpr std::size_t kMessageBufferSize = 4096;

// One typed argument of Format. Texts are borrowed, except those made by ToString(), which the
// argument owns; an argument lives only for the Format call it is built for.
class FormatArgument {
  public:
    enum class Kind { Signed, Unsigned, Float, Character, Text, Pointer };

    template <std::integral T>
    requires(!std::same_as<T, char> && !std::same_as<T, bool>) FormatArgument(T value) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = value;
        }
    }
    FormatArgument(bool value) : kind_(Kind::Unsigned), unsigned_(value ? 1 : 0) {}
    FormatArgument(char value) : kind_(Kind::Character), signed_(value) {}
    FormatArgument(double value) : kind_(Kind::Float), float_(value) {}
    FormatArgument(float value) : kind_(Kind::Float), float_(value) {}
    FormatArgument(const char* text) : kind_(Kind::Text), text_(text ? text : "(null)") {}
    FormatArgument(char* text) : FormatArgument(static_cast<const char*>(text)) {}
    FormatArgument(std::string_view text) : kind_(Kind::Text), text_(text) {}
    FormatArgument(const std::string& text) : kind_(Kind::Text), text_(text) {}
    FormatArgument(const void* pointer) : kind_(Kind::Pointer), pointer_(pointer) {}
    template <class T>
    requires std::is_enum_v<T> FormatArgument(T value)
        : FormatArgument(static_cast<std::underlying_type_t<T>>(value)) {}
    template <class T>
    requires requires(const T& value) {
        { value.ToString() } -> std::convertible_to<std::string>;
    }
    FormatArgument(const T& value) : kind_(Kind::Text), owned_(value.ToString()), text_(owned_) {}

    FormatArgument(const FormatArgument&) = delete;
    FormatArgument& operator=(const FormatArgument&) = delete;

    Kind kind() const { return kind_; }
    std::int64_t signedValue() const { return signed_; }
    std::uint64_t unsignedValue() const { return unsigned_; }
    double floatValue() const { return float_; }
    std::string_view text() const { return text_; }
    const void* pointer() const { return pointer_; }

  private:
    Kind kind_;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    double float_ = 0;
    std::string owned_;
    std::string_view text_;
    const void* pointer_ = nullptr;
};

// Formats into `buffer` (of `bufferSize` bytes, terminated when not 0) and returns the length
// written. A null template gives the empty text.
std::size_t FormatInto(char* buffer,
                       std::size_t bufferSize,
                       const char* templateText,
                       std::span<const FormatArgument* const> arguments);

// The template filled with the arguments, at most kMessageBufferSize - 1 characters.
template <class... Args>
std::string Format(const char* templateText, const Args&... args) {
    const FormatArgument converted[sizeof...(Args) + 1] = {FormatArgument(args)..., 0};
    const FormatArgument* pointers[sizeof...(Args) + 1] = {};
    for (std::size_t i = 0; i < sizeof...(Args); ++i) {
        pointers[i] = &converted[i];
    }
    char buffer[kMessageBufferSize];
    const std::size_t length =
        FormatInto(buffer, sizeof(buffer), templateText, std::span(pointers, sizeof...(Args)));
    return std::string(buffer, length);
}

}  // namespace Kolm
