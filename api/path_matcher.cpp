#include "api/path_matcher.h"

namespace Kolm {

namespace {

constexpr std::string_view kSegmentGroup = "([^/]*)";
constexpr std::string_view kRestGroup = "(.*)";

// What "." matches in an ECMAScript expression over bytes: anything but a line terminator.
bool RestGroupAccepts(char c) {
    return c != '\n' && c != '\r';
}

bool SegmentGroupAccepts(char c) {
    return c != '/';
}

}  // namespace

PathMatcher::PathMatcher(std::string_view storedTemplate) {
    if (IsLiteralPathTemplate(storedTemplate)) {
        literal_ = std::string(storedTemplate);
        return;
    }
    isLiteral_ = false;
    TranslatedTemplate translated = TranslatePathTemplate(storedTemplate);
    expression_ = std::move(translated.expression);
    placeholders_ = std::move(translated.placeholders);
    try {
        regex_.emplace(expression_, std::regex::ECMAScript | std::regex::optimize);
    } catch (const std::exception&) {
        regex_.reset();
        return;
    }
    stepsUsable_ = CompileSteps();
}

// Reads the expression back into literal runs and groups. Translation escapes every special
// character of a literal, so an unescaped "(" always opens one of the two group forms; anything
// else leaves the matcher to the compiled expression.
bool PathMatcher::CompileSteps() {
    std::string_view rest = expression_;
    auto appendLiteral = [this](char c) {
        if (steps_.empty() || steps_.back().kind != StepKind::Literal) {
            steps_.push_back(Step{StepKind::Literal, {}, 0});
        }
        steps_.back().literal += c;
    };
    while (!rest.empty()) {
        if (rest.front() == '\\') {
            if (rest.size() < 2) {
                return false;
            }
            appendLiteral(rest[1]);
            rest.remove_prefix(2);
        } else if (rest.substr(0, kSegmentGroup.size()) == kSegmentGroup) {
            steps_.push_back(Step{StepKind::SegmentGroup, {}, groupCount_++});
            rest.remove_prefix(kSegmentGroup.size());
        } else if (rest.substr(0, kRestGroup.size()) == kRestGroup) {
            steps_.push_back(Step{StepKind::RestGroup, {}, groupCount_++});
            rest.remove_prefix(kRestGroup.size());
        } else if (std::string_view("^$.*+?()[]|{").find(rest.front()) != std::string_view::npos) {
            return false;
        } else {
            appendLiteral(rest.front());
            rest.remove_prefix(1);
        }
    }
    return true;
}

bool PathMatcher::Match(std::string_view path, std::vector<std::string_view>& captures) const {
    captures.clear();
    if (isLiteral_) {
        return path == literal_;
    }
    if (!stepsUsable_) {
        return MatchWithExpression(path, captures);
    }
    captures.resize(groupCount_);
    // With two groups or more a failed (step, position) pair is remembered, which keeps the
    // search polynomial on paths that almost match.
    std::vector<char> failed;
    if (groupCount_ > 1) {
        failed.assign((steps_.size() + 1) * (path.size() + 1), 0);
    }
    if (!MatchFrom(0, 0, path, captures, groupCount_ > 1 ? &failed : nullptr)) {
        captures.clear();
        return false;
    }
    return true;
}

bool PathMatcher::MatchFrom(size_t step,
                            size_t position,
                            std::string_view path,
                            std::vector<std::string_view>& captures,
                            std::vector<char>* failed) const {
    if (step == steps_.size()) {
        return position == path.size();
    }
    char* failedHere = failed ? &(*failed)[step * (path.size() + 1) + position] : nullptr;
    if (failedHere && *failedHere) {
        return false;
    }
    const Step& current = steps_[step];
    bool matched = false;
    if (current.kind == StepKind::Literal) {
        matched = path.substr(position, current.literal.size()) == current.literal &&
                  MatchFrom(step + 1, position + current.literal.size(), path, captures, failed);
    } else {
        size_t group = current.groupIndex;
        auto accepts =
            current.kind == StepKind::SegmentGroup ? SegmentGroupAccepts : RestGroupAccepts;
        size_t end = position;
        while (end < path.size() && accepts(path[end])) {
            ++end;
        }
        // Greedy: the longest capture is tried first, as the expression engine does.
        for (size_t length = end - position + 1; length-- > 0 && !matched;) {
            captures[group] = path.substr(position, length);
            matched = MatchFrom(step + 1, position + length, path, captures, failed);
        }
    }
    if (!matched && failedHere) {
        *failedHere = 1;
    }
    return matched;
}

bool PathMatcher::MatchWithExpression(std::string_view path,
                                      std::vector<std::string_view>& captures) const {
    captures.clear();
    if (isLiteral_) {
        return path == literal_;
    }
    if (!regex_) {
        return false;
    }
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(path.begin(), path.end(), match, *regex_)) {
        return false;
    }
    for (size_t i = 1; i < match.size(); ++i) {
        if (!match[i].matched) {
            break;
        }
        captures.push_back(path.substr(match.position(i), match.length(i)));
    }
    return true;
}

}  // namespace Kolm
