// The compiled matcher of one endpoint's path template, built once when the endpoint is
// registered and shared by every request matched against it afterwards.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "api/path_template.h"

namespace Kolm {

// A template without placeholders is compared as a whole; any other is compiled into an
// ECMAScript expression that must match the whole path. Matching a path is done by a small
// backtracking matcher over the same expression, which gives exactly the captures that the
// compiled expression gives (each group greedy, first full match wins) without the expression
// engine's per-call allocations. Immutable after construction, so any thread may match.
class PathMatcher {
  public:
    explicit PathMatcher(std::string_view storedTemplate);

    bool IsLiteral() const { return isLiteral_; }
    const std::string& Literal() const { return literal_; }
    const std::string& Expression() const { return expression_; }
    const std::vector<PathPlaceholder>& Placeholders() const { return placeholders_; }

    // On a match fills `captures` with the raw (still escaped) text of each group, in group
    // order. A template whose expression cannot be compiled matches nothing.
    bool Match(std::string_view path, std::vector<std::string_view>& captures) const;

    // The same through the compiled expression itself; kept for checking the fast matcher.
    bool MatchWithExpression(std::string_view path, std::vector<std::string_view>& captures) const;

  private:
    enum class StepKind { Literal, SegmentGroup, RestGroup };
    struct Step {
        StepKind kind;
        std::string literal;    // Literal steps only
        size_t groupIndex = 0;  // group steps only
    };

    bool CompileSteps();
    bool MatchFrom(size_t step,
                   size_t position,
                   std::string_view path,
                   std::vector<std::string_view>& captures,
                   std::vector<char>* failed) const;

    bool isLiteral_ = true;
    std::string literal_;
    std::string expression_;
    std::vector<PathPlaceholder> placeholders_;
    std::optional<std::regex> regex_;
    std::vector<Step> steps_;
    size_t groupCount_ = 0;
    bool stepsUsable_ = false;
};

}  // namespace Kolm
