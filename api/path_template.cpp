#include "api/path_template.h"

namespace Kolm {

namespace {

constexpr std::string_view kRegexSpecials = "^$.*+?()[]|\\";
constexpr std::string_view kNameSeparators = "!+-./_";

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* GroupFor(PlaceholderKind kind) {
    switch (kind) {
        case PlaceholderKind::Reserved:
            return "(.*)";
        case PlaceholderKind::Fragment:
            return "#(.*)";
        case PlaceholderKind::Plain:
            break;
    }
    return "([^/]*)";
}

}  // namespace

std::string StoredPathTemplate(std::string_view pathTemplate) {
    if (pathTemplate.size() > 1 && pathTemplate.back() == '/') {
        pathTemplate.remove_suffix(1);
    }
    return std::string(pathTemplate);
}

bool IsLiteralPathTemplate(std::string_view pathTemplate) {
    return pathTemplate.find('{') == std::string_view::npos;
}

std::string FunctionNameFromMethodAndPath(std::string_view methodName,
                                          std::string_view pathTemplate) {
    std::string text;
    if (!methodName.empty()) {
        text += methodName.front();
        for (char c : methodName.substr(1)) {
            text += LowerAscii(c);
        }
    }
    text += '/';
    text += pathTemplate;

    std::string name;
    bool capitaliseNext = true;
    for (char c : text) {
        if (kNameSeparators.find(c) != std::string_view::npos) {
            capitaliseNext = true;
        } else if (c == '{') {
            name += "By";
            capitaliseNext = true;
        } else if (c == '}') {
            // dropped; the flag stays as it is
        } else if (capitaliseNext) {
            name += UpperAscii(c);
            capitaliseNext = false;
        } else {
            name += c;
        }
    }
    return name;
}

TranslatedTemplate TranslatePathTemplate(std::string_view pathTemplate) {
    TranslatedTemplate result;
    bool inPlaceholder = false;
    PathPlaceholder current;
    for (char c : pathTemplate) {
        if (!inPlaceholder) {
            if (c == '{') {
                inPlaceholder = true;
                current = PathPlaceholder{};
                continue;
            }
            if (kRegexSpecials.find(c) != std::string_view::npos) {
                result.expression += '\\';
            }
            result.expression += c;
            continue;
        }
        if (c == '}') {
            result.expression += GroupFor(current.kind);
            result.placeholders.push_back(std::move(current));
            inPlaceholder = false;
        } else if (current.name.empty() && current.kind == PlaceholderKind::Plain && c == '+') {
            current.kind = PlaceholderKind::Reserved;
        } else if (current.name.empty() && current.kind == PlaceholderKind::Plain && c == '#') {
            current.kind = PlaceholderKind::Fragment;
        } else {
            current.name += c;
        }
    }
    return result;
}

}  // namespace Kolm
