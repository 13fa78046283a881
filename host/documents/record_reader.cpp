#include "host/documents/record_reader.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstdio>

namespace Kolm::Host {
namespace {

// A bound as the rule says it: whole numbers without a fraction, others as short as they go.
std::string Number(double value) {
    if (std::trunc(value) == value && std::fabs(value) < 1e18) {
        return std::to_string(static_cast<int64_t>(value));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Range(const FieldRules& rules, std::optional<double> floor) {
    const std::optional<double> low = rules.minimum ? rules.minimum : floor;
    if (low && rules.maximum) {
        return " from " + Number(*low) + " to " + Number(*rules.maximum);
    }
    if (low) {
        return " of at least " + Number(*low);
    }
    if (rules.maximum) {
        return " of at most " + Number(*rules.maximum);
    }
    return {};
}

}  // namespace

std::string Where::Text() const {
    if (parent_ == nullptr) {
        return {};
    }
    std::string text = parent_->Text();
    if (name_.empty()) {
        return text + "[" + std::to_string(index_) + "]";
    }
    return text.empty() ? std::string(name_) : text + "." + std::string(name_);
}

void DocumentReader::Fail(const Where& where, const std::string& what) {
    if (!Ok()) {
        return;
    }
    const std::string at = where.Text();
    if (naming_ == FieldNaming::Path) {
        error_ = (at.empty() ? subject_ : at) + ": " + what;
    } else {
        error_ = at.empty() ? what : "\"" + at + "\" " + what;
    }
}

void DocumentReader::Missing(const Where& where, const std::string& rule) {
    if (naming_ == FieldNaming::Path) {
        Fail(where, "is missing");
        return;
    }
    constexpr std::string_view kMustBe = "must be ";
    const std::string_view said = std::string_view(rule).starts_with(kMustBe)
                                      ? std::string_view(rule).substr(kMustBe.size())
                                      : std::string_view(rule);
    Fail(where, said.empty() ? "is required" : "is required: " + std::string(said));
}

void DocumentReader::ReadText(const rapidjson::Value& json,
                              std::string& value,
                              const Where& where,
                              const FieldRules& rules) {
    if (!json.IsString()) {
        Fail(where, TextRule(rules));
        return;
    }
    const std::string_view text(json.GetString(), json.GetStringLength());
    bool chosen = rules.choices.empty();
    for (const char* choice : rules.choices) {
        chosen = chosen || text == choice;
    }
    if (!chosen || (rules.accepts != nullptr && !rules.accepts(text))) {
        Fail(where, TextRule(rules));
        return;
    }
    value.assign(text);
}

void DocumentReader::ReadNumber(const rapidjson::Value& json,
                                double& value,
                                const Where& where,
                                const FieldRules& rules) {
    // NaN cannot come from JSON, but a bound compares false against it all the same.
    if (!json.IsNumber() || (rules.minimum && !(json.GetDouble() >= *rules.minimum)) ||
        (rules.maximum && !(json.GetDouble() <= *rules.maximum))) {
        Fail(where, NumberRule(rules));
        return;
    }
    value = json.GetDouble();
}

std::string IntegerRule(const FieldRules& rules, bool isUnsigned) {
    if (rules.rule != nullptr) {
        return rules.rule;
    }
    const std::string unit = rules.unit != nullptr ? std::string(" of ") + rules.unit : "";
    return "must be a whole number" + unit +
           Range(rules, isUnsigned ? std::optional<double>(0) : std::nullopt);
}

std::string TextRule(const FieldRules& rules) {
    if (rules.rule != nullptr) {
        return rules.rule;
    }
    if (rules.choices.empty()) {
        return "must be a text";
    }
    std::string list;
    for (std::size_t i = 0; i < rules.choices.size(); ++i) {
        list += std::string(i == 0                          ? ""
                            : i + 1 == rules.choices.size() ? " or "
                                                            : ", ") +
                rules.choices[i];
    }
    return "must be one of " + list;
}

std::string NumberRule(const FieldRules& rules) {
    return rules.rule != nullptr ? rules.rule : "must be a number" + Range(rules, std::nullopt);
}

std::string ArrayRule(const FieldRules& rules) {
    if (rules.rule != nullptr) {
        return rules.rule;
    }
    if (!rules.minimum && !rules.maximum) {
        return "must be an array";
    }
    if (rules.minimum && rules.maximum) {
        return "must be an array of " + Number(*rules.minimum) + " to " + Number(*rules.maximum) +
               " items";
    }
    return rules.minimum ? "must be an array of at least " + Number(*rules.minimum) + " items"
                         : "must be an array of at most " + Number(*rules.maximum) + " items";
}

std::string CompactJson(const rapidjson::Value& json) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    json.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Kolm::Host
