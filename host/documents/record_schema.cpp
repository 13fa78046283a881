#include "host/documents/record_schema.h"

namespace Kolm::Host {

void SchemaWriter::ReferTo(std::string_view name) {
    const std::string ref = "#/components/schemas/" + std::string(name);
    w_.StartObject();
    w_.Key("$ref");
    w_.String(ref.c_str(), static_cast<rapidjson::SizeType>(ref.size()));
    w_.EndObject();
}

void SchemaWriter::Common(const FieldRules& rules) {
    if (rules.description != nullptr) {
        w_.Key("description");
        w_.String(rules.description);
    }
    if (rules.readOnly) {
        w_.Key("readOnly");
        w_.Bool(true);
    }
}

void SchemaWriter::Bounds(const FieldRules& rules, const char* low, const char* high, bool whole) {
    const auto bound = [&](const char* name, const std::optional<double>& value) {
        if (!value) {
            return;
        }
        w_.Key(name);
        if (whole) {
            w_.Int64(static_cast<int64_t>(*value));
        } else {
            w_.Double(*value);
        }
    };
    bound(low, rules.minimum);
    bound(high, rules.maximum);
}

}  // namespace Kolm::Host
