// Path templates of endpoints ("/zun-clubs/v1/clubs/{clubKey}"): their stored form, the function
// name made from method and template, and their translation into a regular expression.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Kolm {

enum class PlaceholderKind : uint32_t {
    Plain = 1,     // {name}: one path segment
    Reserved = 2,  // {+name}: the rest, slashes included
    Fragment = 3,  // {#name}: "#" and the rest
};

struct PathPlaceholder {
    PlaceholderKind kind = PlaceholderKind::Plain;
    std::string name;

    bool operator==(const PathPlaceholder&) const = default;
};

// A template turned into an ECMAScript expression (to be matched against the whole path) and the
// placeholders in the order of their capture groups.
struct TranslatedTemplate {
    std::string expression;
    std::vector<PathPlaceholder> placeholders;
};

// Drops one trailing "/" from a template longer than one character.
std::string StoredPathTemplate(std::string_view pathTemplate);

// True when the template has a placeholder and so needs an expression; otherwise it is matched as
// a literal path.
bool IsLiteralPathTemplate(std::string_view pathTemplate);

// "GET" and "/zun-clubs/v1/clubs/{clubKey}" give "GetZunClubsV1ClubsByClubKey".
std::string FunctionNameFromMethodAndPath(std::string_view methodName,
                                          std::string_view pathTemplate);

// An unclosed "{" gives no group: the expression ends with the literal text before it. "{}" still
// gives a group with an empty name.
TranslatedTemplate TranslatePathTemplate(std::string_view pathTemplate);

}  // namespace Kolm
