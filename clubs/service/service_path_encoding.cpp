#include "clubs/service/service_path_encoding.h"

namespace Kolm::Client::Clubs {
namespace {

bool IsUnreservedInSegment(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '~';
}

std::string Encode(std::string_view text, bool keepDot) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char character : text) {
        const auto c = static_cast<unsigned char>(character);
        if (IsUnreservedInSegment(c) || (keepDot && c == '.')) {
            encoded += character;
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        }
    }
    return encoded;
}

}  // namespace

std::string EncodeQueryValue(std::string_view text) {
    return Encode(text, true);
}

std::string EncodePathSegment(std::string_view text) {
    return Encode(text, false);
}

}  // namespace Kolm::Client::Clubs
