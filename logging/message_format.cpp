#include "logging/message_format.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace Kolm {
namespace {

constexpr std::size_t kMaxSpecificationLength = 60;

// Appends to a caller's buffer, silently cutting at its capacity (size minus the terminator).
class Output {
  public:
    Output(char* buffer, std::size_t bufferSize)
        : buffer_(buffer), capacity_(bufferSize == 0 ? 0 : bufferSize - 1) {}

    void Append(std::string_view text) {
        const std::size_t room = capacity_ - length_;
        const std::size_t count = text.size() < room ? text.size() : room;
        std::memcpy(buffer_ + length_, text.data(), count);
        length_ += count;
    }

    void AppendChar(char c) { Append(std::string_view(&c, 1)); }

    // Formats one value with a specification this file built itself (a single conversion whose
    // type matches `value`).
    template <class T>
    void AppendPrintf(const std::string& specification, T value) {
        const std::size_t room = capacity_ - length_;
        char scratch[1];
        char* target = room == 0 ? scratch : buffer_ + length_;
        const int written = std::snprintf(target, room + 1, specification.c_str(), value);
        if (written > 0) {
            length_ += static_cast<std::size_t>(written) < room ? written : room;
        }
    }

    // Terminates the text; the buffer holds at least one byte.
    std::size_t Finish() {
        buffer_[length_] = '\0';
        return length_;
    }

  private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a decimal number at `p`, advancing past it. It saturates at the message buffer size:
// no index, width or precision beyond it can matter, and snprintf gets no huge padding to count.
std::size_t ReadNumber(const char*& p) {
    std::size_t value = 0;
    while (IsDigit(*p)) {
        value = value * 10 + static_cast<std::size_t>(*p - '0');
        if (value > kMessageBufferSize) {
            value = kMessageBufferSize;
        }
        ++p;
    }
    return value;
}

void AppendNatural(Output& output, const FormatArgument& argument) {
    switch (argument.kind()) {
        case FormatArgument::Kind::Signed:
            output.AppendPrintf("%" PRId64, argument.signedValue());
            break;
        case FormatArgument::Kind::Unsigned:
            output.AppendPrintf("%" PRIu64, argument.unsignedValue());
            break;
        case FormatArgument::Kind::Float:
            output.AppendPrintf("%g", argument.floatValue());
            break;
        case FormatArgument::Kind::Character:
            output.AppendChar(static_cast<char>(argument.signedValue()));
            break;
        case FormatArgument::Kind::Text:
            output.Append(argument.text());
            break;
        case FormatArgument::Kind::Pointer:
            output.AppendPrintf("%p", argument.pointer());
            break;
    }
}

class Formatter {
  public:
    Formatter(Output& output, std::span<const FormatArgument* const> arguments)
        : output_(output), arguments_(arguments) {}

    // Returns false when formatting must end here.
    bool Placeholder(const char*& p);

  private:
    const FormatArgument* Argument(std::size_t oneBasedIndex) const {
        if (oneBasedIndex == 0 || oneBasedIndex > arguments_.size()) {
            return nullptr;
        }
        return arguments_[oneBasedIndex - 1];
    }
    const FormatArgument* NextArgument() { return Argument(++sequence_); }

    bool StarValue(const char*& p, std::string& spec, bool isPrecision);
    bool Specification(const char*& p, const FormatArgument* positional);
    void Converted(const FormatArgument& argument,
                   const std::string& flags,
                   const std::string& widthAndPrecision,
                   char conversion);

    Output& output_;
    std::span<const FormatArgument* const> arguments_;
    std::size_t sequence_ = 0;
};

std::int64_t AsSigned(const FormatArgument& argument) {
    switch (argument.kind()) {
        case FormatArgument::Kind::Signed:
        case FormatArgument::Kind::Character:
            return argument.signedValue();
        case FormatArgument::Kind::Unsigned:
            return static_cast<std::int64_t>(argument.unsignedValue());
        case FormatArgument::Kind::Float: {
            const double value = argument.floatValue();
            if (std::isnan(value)) {
                return 0;
            }
            if (value >= 9.2e18) {
                return std::numeric_limits<std::int64_t>::max();
            }
            if (value <= -9.2e18) {
                return std::numeric_limits<std::int64_t>::min();
            }
            return static_cast<std::int64_t>(value);
        }
        case FormatArgument::Kind::Pointer:
            return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(argument.pointer()));
        case FormatArgument::Kind::Text:
            break;
    }
    return 0;
}

void Formatter::Converted(const FormatArgument& argument,
                          const std::string& flags,
                          const std::string& widthAndPrecision,
                          char conversion) {
    const bool isText = argument.kind() == FormatArgument::Kind::Text;
    const std::string head = "%" + flags + widthAndPrecision;
    switch (conversion) {
        case 'd':
        case 'i':
            if (!isText) {
                output_.AppendPrintf(head + "lld", static_cast<long long>(AsSigned(argument)));
                return;
            }
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (!isText) {
                output_.AppendPrintf(head + "ll" + conversion,
                                     static_cast<unsigned long long>(AsSigned(argument)));
                return;
            }
            break;
        case 'c':
            if (!isText) {
                output_.AppendPrintf(head + "c", static_cast<int>(AsSigned(argument)));
                return;
            }
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (argument.kind() == FormatArgument::Kind::Float) {
                output_.AppendPrintf(head + conversion, argument.floatValue());
                return;
            }
            if (!isText && argument.kind() != FormatArgument::Kind::Pointer) {
                output_.AppendPrintf(head + conversion, static_cast<double>(AsSigned(argument)));
                return;
            }
            break;
        case 'p':
            if (argument.kind() == FormatArgument::Kind::Pointer) {
                output_.AppendPrintf(head + "p", argument.pointer());
                return;
            }
            break;
        case 's':
            if (isText) {
                const std::string text(argument.text());
                output_.AppendPrintf(head + "s", text.c_str());
                return;
            }
            break;
        default:
            break;
    }
    // A conversion that does not fit the argument: its natural form, padded as asked.
    char natural[kMessageBufferSize];
    Output naturalOutput(natural, sizeof(natural));
    AppendNatural(naturalOutput, argument);
    naturalOutput.Finish();
    std::string padding = "%";
    if (flags.find('-') != std::string::npos) {
        padding += '-';
    }
    const std::size_t dot = widthAndPrecision.find('.');
    padding += widthAndPrecision.substr(0, dot) + "s";
    output_.AppendPrintf(padding, static_cast<const char*>(natural));
}

// Resolves a "*" or "*M$" at `p` into digits appended to `spec`. A negative width becomes the
// "-" flag; a negative precision means none.
bool Formatter::StarValue(const char*& p, std::string& spec, bool isPrecision) {
    ++p;  // the "*"
    const FormatArgument* source = nullptr;
    const char* q = p;
    if (IsDigit(*q)) {
        const std::size_t index = ReadNumber(q);
        if (*q != '$') {
            return false;
        }
        p = q + 1;
        source = Argument(index);
    } else {
        source = NextArgument();
    }
    if (source == nullptr) {
        return false;
    }
    std::int64_t value = source->kind() == FormatArgument::Kind::Text ? 0 : AsSigned(*source);
    if (value > static_cast<std::int64_t>(kMessageBufferSize)) {
        value = kMessageBufferSize;  // wider than any buffer; keeps snprintf's int in range
    }
    if (value < 0) {
        if (isPrecision) {
            return true;
        }
        spec = "-" + spec;
        value = value < -static_cast<std::int64_t>(kMessageBufferSize)
                    ? static_cast<std::int64_t>(kMessageBufferSize)
                    : -value;
    }
    spec += std::to_string(value);
    return true;
}

bool Formatter::Specification(const char*& p, const FormatArgument* positional) {
    const char* start = p;
    std::string flags;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) {
        flags += *p++;
    }
    std::string widthAndPrecision;
    if (*p == '*') {
        if (!StarValue(p, widthAndPrecision, false)) {
            return false;
        }
        if (!widthAndPrecision.empty() && widthAndPrecision[0] == '-') {
            flags += '-';
            widthAndPrecision.erase(0, 1);
        }
    } else {
        widthAndPrecision += std::to_string(ReadNumber(p));
        if (widthAndPrecision == "0") {
            widthAndPrecision.clear();
        }
    }
    if (*p == '.') {
        ++p;
        std::string precision;
        if (*p == '*') {
            if (!StarValue(p, precision, true)) {
                return false;
            }
        } else {
            precision = std::to_string(ReadNumber(p));
        }
        if (!precision.empty()) {
            widthAndPrecision += "." + precision;
        }
    }
    if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l')) {
        p += 2;
    } else if (*p != '\0' && std::strchr("hljztL", *p) != nullptr) {
        ++p;
    }
    const char conversion = *p;
    if (static_cast<std::size_t>(p - start) + 1 > kMaxSpecificationLength) {
        return false;
    }
    if (conversion == '\0' || std::strchr("diuoxXfFeEgGaAcsp", conversion) == nullptr) {
        return false;
    }
    ++p;
    const FormatArgument* argument = positional != nullptr ? positional : NextArgument();
    if (argument == nullptr) {
        return false;
    }
    Converted(*argument, flags, widthAndPrecision, conversion);
    return true;
}

bool Formatter::Placeholder(const char*& p) {
    ++p;  // the "%"
    if (*p == '%') {
        output_.AppendChar('%');
        ++p;
        return true;
    }
    if (*p >= '1' && *p <= '9') {
        const char* q = p;
        const std::size_t index = ReadNumber(q);
        if (*q == '$') {
            p = q + 1;
            const FormatArgument* argument = Argument(index);
            return argument != nullptr && Specification(p, argument);
        }
        const FormatArgument* argument = Argument(static_cast<std::size_t>(*p - '0'));
        if (argument == nullptr) {
            return false;
        }
        ++p;
        AppendNatural(output_, *argument);
        return true;
    }
    return Specification(p, nullptr);
}

}  // namespace

std::size_t FormatInto(char* buffer,
                       std::size_t bufferSize,
                       const char* templateText,
                       std::span<const FormatArgument* const> arguments) {
    if (buffer == nullptr || bufferSize == 0) {
        return 0;
    }
    Output output(buffer, bufferSize);
    if (templateText != nullptr) {
        Formatter formatter(output, arguments);
        const char* p = templateText;
        while (*p != '\0') {
            if (*p != '%') {
                const char* run = p;
                while (*p != '\0' && *p != '%') {
                    ++p;
                }
                output.Append(std::string_view(run, static_cast<std::size_t>(p - run)));
            } else if (!formatter.Placeholder(p)) {
                break;
            }
        }
    }
    return output.Finish();
}

}  // namespace Kolm
