#include "api/content_type.h"

namespace Kolm {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view SkipBlanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() &&
           (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) {
        ++i;
    }
    return text.substr(i);
}

}  // namespace

bool HasContentTypePrefix(std::string_view contentType, std::string_view known) {
    if (contentType.size() < known.size()) {
        return false;
    }
    for (size_t i = 0; i < known.size(); ++i) {
        if (LowerAscii(contentType[i]) != LowerAscii(known[i])) {
            return false;
        }
    }
    return true;
}

std::optional<ContentFormat> BodyContentFormat(std::string_view contentType) {
    if (HasContentTypePrefix(contentType, "application/x-msgpack")) {
        return ContentFormat::MessagePack;
    }
    if (HasContentTypePrefix(contentType, "application/json") ||
        HasContentTypePrefix(contentType, "application/vnd.api+json")) {
        return ContentFormat::Json;
    }
    if (HasContentTypePrefix(contentType, "application/x-yaml")) {
        return ContentFormat::Yaml;
    }
    return std::nullopt;
}

ValueFormat ArgumentValueFormat(std::string_view contentType) {
    // "application/x-msgpack-ext" shares the prefix of "application/x-msgpack".
    if (HasContentTypePrefix(contentType, "application/x-msgpack")) {
        return ValueFormat::MessagePack;
    }
    if (HasContentTypePrefix(contentType, "application/json")) {
        return ValueFormat::Json;
    }
    if (HasContentTypePrefix(contentType, "text/x-yaml")) {
        return ValueFormat::Yaml;
    }
    if (HasContentTypePrefix(contentType, "application/octet-stream")) {
        return ValueFormat::Blob;
    }
    return ValueFormat::Text;
}

bool LooksLikeJsonText(std::string_view text) {
    std::string_view rest = SkipBlanks(text);
    return !rest.empty() && (rest.front() == '{' || rest.front() == '[');
}

bool LooksLikeYamlText(std::string_view text) {
    return SkipBlanks(text).substr(0, 3) == "---";
}

uint32_t ResponseFormatCode(uint32_t code) {
    return code >= 1 && code <= 3 ? code : 0;
}

}  // namespace Kolm
