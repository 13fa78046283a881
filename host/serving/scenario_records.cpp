#include "host/serving/scenario_records.h"

#include "host/documents/one_of.h"
#include "host/documents/record_reader.h"
#include "host/documents/record_schema.h"
#include "host/faults/fault_rule.h"
#include "host/worlds/world_document.h"
#include "host/worlds/world_records.h"

namespace Kolm::Host {
namespace {

constexpr const char* kTimes[] = {"atMs", "afterMs"};
constexpr const char* kRemovalRule = "must be \"all\", a rule's id or {\"addedBy\": <step index>}";

}  // namespace

std::optional<FieldProblem> RecordMap<ScenarioText>::Finish(ScenarioText& scenario) {
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
        const std::optional<ScenarioFaultRemoval>& removal = scenario.steps[i].removeFault;
        if (!removal || !removal->ofStep) {
            continue;
        }
        const uint64_t by = removal->ofStep->addedBy;
        const std::string field = "steps[" + std::to_string(i) + "].removeFault.addedBy";
        if (by >= i) {
            return FieldProblem{field, kScenarioAddedByRule};
        }
        if (!scenario.steps[by].addFault) {
            return FieldProblem{field, "steps[" + std::to_string(by) + "] is not an addFault step"};
        }
    }
    return std::nullopt;
}

std::optional<FieldProblem> RecordMap<ScenarioStepText>::Finish(ScenarioStepText& step) {
    if (std::optional<FieldProblem> problem = ExactlyOneOf(
            step, kTimes, "time",
            "needs a time: atMs (from the start) or afterMs (after the step before)")) {
        return problem;
    }
    return ExactlyOneOf(step, kScenarioActionNames, "action");
}

std::optional<FieldProblem> RecordMap<ScenarioActAsText>::Finish(ScenarioActAsText& act) {
    // The path becomes part of a request target.
    if (act.path.find_first_of(" \t\r\n#") != std::string::npos) {
        return FieldProblem{"path", "must not hold blanks, line breaks or #"};
    }
    return std::nullopt;
}

void ValueMap<ScenarioFaultRemoval>::Read(const rapidjson::Value& json,
                                          ScenarioFaultRemoval& removal,
                                          const Where& where,
                                          DocumentReader& reader) {
    if (json.IsObject()) {
        reader.Read(json, removal.ofStep, where);
        return;
    }
    const std::string_view id =
        json.IsString() ? std::string_view(json.GetString(), json.GetStringLength()) : "";
    // The id becomes the last segment of a request target.
    if (id.empty() || id.find_first_of("/?# ") != std::string_view::npos) {
        reader.Fail(where, kRemovalRule);
        return;
    }
    removal.id = id;
}

void ValueMap<ScenarioFaultRemoval>::Describe(SchemaWriter& schema) {
    SchemaWriter::JsonWriter& w = schema.Json();
    w.StartObject();
    w.Key("oneOf");
    w.StartArray();
    w.StartObject();
    w.Key("type");
    w.String("string");
    w.Key("description");
    w.String("all, or a rule's id");
    w.EndObject();
    schema.Describe<ScenarioRuleOfStep>();
    w.EndArray();
    w.EndObject();
}

void ValueMap<ScenarioYes>::Read(const rapidjson::Value& json,
                                 ScenarioYes&,
                                 const Where& where,
                                 DocumentReader& reader) {
    if (!json.IsBool() || !json.GetBool()) {
        reader.Fail(where, "must be true");
    }
}

void ValueMap<ScenarioYes>::Describe(SchemaWriter& schema) {
    SchemaWriter::JsonWriter& w = schema.Json();
    w.StartObject();
    w.Key("type");
    w.String("boolean");
    w.Key("enum");
    w.StartArray();
    w.Bool(true);
    w.EndArray();
    w.EndObject();
}

void ValueMap<ScenarioFaultRuleJson>::Read(const rapidjson::Value& json,
                                           ScenarioFaultRuleJson& rule,
                                           const Where& where,
                                           DocumentReader& reader) {
    if (!json.IsObject()) {
        reader.Fail(where, "must be a fault rule (an object)");
        return;
    }
    rule.rule.json = CompactJson(json);
    rule.seeded = json.HasMember("seed");
}

void ValueMap<ScenarioFaultRuleJson>::Describe(SchemaWriter& schema) {
    schema.ReferTo(RecordMap<FaultRule>::kName);
}

void ValueMap<ScenarioWorldJson>::Read(const rapidjson::Value& json,
                                       ScenarioWorldJson& world,
                                       const Where& where,
                                       DocumentReader& reader) {
    world.world.json = CompactJson(json);
    if (const WorldParse parsed = ParseWorld(world.world.json); !parsed.world) {
        reader.Fail(where, parsed.error);
    }
}

void ValueMap<ScenarioWorldJson>::Describe(SchemaWriter& schema) {
    schema.ReferTo(RecordMap<WorldText>::kName);
}

}  // namespace Kolm::Host
