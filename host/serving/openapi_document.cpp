#include "host/serving/openapi_document.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cctype>
#include <map>
#include <set>
#include <vector>

#include "host/serving/openapi_clubs_answers.h"
#include "host/serving/openapi_host_paths.h"
#include "host/serving/request_bridge.h"

namespace Kolm::Host {
namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

const char* Text(const char* text) {
    return text != nullptr ? text : "";
}

void Key(Writer& writer, std::string_view key) {
    writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

void String(Writer& writer, std::string_view text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void Member(Writer& writer, std::string_view key, std::string_view text) {
    Key(writer, key);
    String(writer, text);
}

// Opens the answer `status` with one media type: `status: {description, content: {mediaType: {`,
// for the caller to fill and CloseAnswer to close.
void OpenAnswer(Writer& writer,
                std::string_view status,
                std::string_view description,
                std::string_view mediaType = "application/json") {
    Key(writer, status);
    writer.StartObject();
    Member(writer, "description", description);
    Key(writer, "content");
    writer.StartObject();
    Key(writer, mediaType);
    writer.StartObject();
}

void CloseAnswer(Writer& writer) {
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

// A member whose value is JSON text written elsewhere; nothing when the text is empty.
void RawMember(Writer& writer, std::string_view key, const std::string& json) {
    if (!json.empty()) {
        Key(writer, key);
        writer.RawValue(json.c_str(), json.size(), rapidjson::kObjectType);
    }
}

// Writes the schema of a type code (element code and referenced name for containers) and
// notes the referenced types.
class SchemaWriter {
  public:
    explicit SchemaWriter(Writer& writer) : writer_(writer) {}

    void Write(uint32_t code, uint32_t elementCode, const char* typeName) {
        writer_.StartObject();
        switch (code) {
            case 1:
                Member(writer_, "type", "boolean");
                break;
            case 2:
            case 4:
            case 6:
                Integer("int32", false);
                break;
            case 3:
            case 5:
            case 7:
                Integer("int32", true);
                break;
            case 8:
                Integer("int64", false);
                break;
            case 9:
                Integer("int64", true);
                break;
            case 10:
                Member(writer_, "type", "number");
                Member(writer_, "format", "float");
                break;
            case 11:
                Member(writer_, "type", "number");
                Member(writer_, "format", "double");
                break;
            case 12:
                Member(writer_, "type", "string");
                break;
            case 13:
                Member(writer_, "description", "any value");
                break;
            case 14:
                Member(writer_, "type", "string");
                Member(writer_, "format", "byte");
                break;
            case 15:
                Member(writer_, "type", "array");
                Key(writer_, "items");
                Write(elementCode, 0, typeName);
                break;
            case 19:
                Member(writer_, "type", "object");
                Key(writer_, "additionalProperties");
                Write(elementCode, 0, typeName);
                break;
            case 16:
            case 17:
                if (*Text(typeName) != '\0') {
                    Member(writer_, "$ref", "#/components/schemas/" + SchemaName(typeName));
                    referenced_.insert(typeName);
                }
                break;
            default:
                break;  // none or a callback: no constraint
        }
        writer_.EndObject();
    }

    const std::set<std::string>& Referenced() const { return referenced_; }

  private:
    void Integer(const char* format, bool isUnsigned) {
        Member(writer_, "type", "integer");
        Member(writer_, "format", format);
        if (isUnsigned) {
            Key(writer_, "minimum");
            writer_.Int(0);
        }
    }

    Writer& writer_;
    std::set<std::string> referenced_;
};

std::vector<const HostArgumentHelp*> Arguments(const HostFunctionEntry& entry) {
    std::vector<const HostArgumentHelp*> arguments;
    for (uint32_t i = 0; entry.arguments != nullptr && i < entry.argumentCount; ++i) {
        arguments.push_back(&entry.arguments[i]);
    }
    return arguments;
}

std::vector<uint32_t> Locations(const HostFunctionEntry& entry) {
    std::vector<uint32_t> locations;
    for (const HostArgumentLocation* at = entry.argumentLocations;
         at != nullptr && locations.size() < entry.argumentCount; at = at->next) {
        const uint32_t location = at->location;  // packed field: copy before binding
        locations.push_back(location);
    }
    locations.resize(entry.argumentCount, 0);
    return locations;
}

std::vector<std::string> PlaceholderNames(std::string_view pathTemplate) {
    std::vector<std::string> names;
    std::size_t open = pathTemplate.find('{');
    while (open != std::string_view::npos) {
        const std::size_t close = pathTemplate.find('}', open);
        if (close == std::string_view::npos) {
            break;
        }
        std::string_view name = pathTemplate.substr(open + 1, close - open - 1);
        if (!name.empty() && (name.front() == '+' || name.front() == '#')) {
            name.remove_prefix(1);
        }
        names.emplace_back(name);
        open = pathTemplate.find('{', close);
    }
    return names;
}

void WriteTags(Writer& writer, const char* const* tags, uint32_t count) {
    Key(writer, "tags");
    writer.StartArray();
    for (uint32_t i = 0; tags != nullptr && i < count; ++i) {
        String(writer, Text(tags[i]));
    }
    writer.EndArray();
}

// An error answer whose examples are the exact error texts.
void WriteErrorTexts(Writer& writer,
                     std::string_view status,
                     std::string_view description,
                     const std::vector<std::string>& texts) {
    OpenAnswer(writer, status, description);
    Key(writer, "schema");
    writer.StartObject();
    Member(writer, "$ref", "#/components/schemas/HostError");
    writer.EndObject();
    if (!texts.empty()) {
        Key(writer, "examples");
        writer.StartObject();
    }
    for (const std::string& text : texts) {
        Key(writer, text.substr(0, text.find(' ')));
        writer.StartObject();
        Key(writer, "value");
        writer.StartObject();
        Member(writer, "error", text);
        writer.EndObject();
        writer.EndObject();
    }
    if (!texts.empty()) {
        writer.EndObject();
    }
    CloseAnswer(writer);
}

// The failures an endpoint can answer: the plugin's own 404s, the web service's refusals as
// it passes them on, and arguments that cannot be converted (answered 500 with the message).
void WriteErrorAnswers(Writer& writer, const HostFunctionEntry& entry, bool convertsArguments) {
    const ClubsOperationAnswers answers =
        ClubsAnswers(MethodName(entry.method), Text(entry.pathTemplate));
    if (!answers.notFound.empty()) {
        WriteErrorTexts(writer, "404", "The club, player, nomination or invitation is not held",
                        answers.notFound);
    }
    if (answers.emptyNotFound) {
        OpenAnswer(writer, "404", "No held club has the key: an empty text, not an error");
        Key(writer, "schema");
        writer.StartObject();
        Member(writer, "type", "string");
        writer.EndObject();
        Member(writer, "example", "");
        CloseAnswer(writer);
    }
    if (answers.serviceRefusals) {
        WriteErrorTexts(writer, "4XX",
                        "A refusal of the clubs web service, passed on with its status; the error "
                        "text is the service's errorCode",
                        {"INSUFFICIENT_PERMISSIONS", "MAX_ACTIVE_CLUBS", "CLUB_NAME_TAKEN"});
    }
    if (convertsArguments || answers.serviceRefusals) {
        std::vector<std::string> texts;
        if (convertsArguments) {
            texts.push_back("Value abc for 'summonerId' of type uint64 is in an incorrect format");
        }
        if (answers.serviceRefusals) {
            texts.push_back("Failed to get response from url: ...");
        }
        WriteErrorTexts(writer, "500",
                        "An argument that cannot be converted, or a clubs web service that cannot "
                        "be reached: the plugin's message",
                        texts);
    }
    WriteErrorTexts(writer, "default", "Any other failure: the status and its error text", {});
}

void WriteOperation(Writer& writer, const HostFunctionEntry& entry, SchemaWriter& schemas) {
    writer.StartObject();
    Member(writer, "operationId", Text(entry.name));
    Member(writer, "summary",
           *Text(entry.description) != '\0' ? Text(entry.description) : Text(entry.name));
    if (*Text(entry.help) != '\0') {
        Member(writer, "description", Text(entry.help));
    }
    WriteTags(writer, entry.tags, entry.tagCount);
    const std::vector<const HostArgumentHelp*> arguments = Arguments(entry);
    const std::vector<uint32_t> locations = Locations(entry);
    std::set<std::string> declared;
    Key(writer, "parameters");
    writer.StartArray();
    const HostArgumentHelp* body = nullptr;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const uint32_t location = locations[i];
        if (location == 5) {
            body = body != nullptr ? body : arguments[i];
            continue;
        }
        const char* in = location == 2 ? "path" : location == 4 ? "header" : "query";
        writer.StartObject();
        Member(writer, "name", Text(arguments[i]->name));
        Member(writer, "in", in);
        Key(writer, "required");
        writer.Bool(location == 2 || arguments[i]->optional == 0);
        if (*Text(arguments[i]->description) != '\0') {
            Member(writer, "description", Text(arguments[i]->description));
        }
        Key(writer, "schema");
        schemas.Write(arguments[i]->type.code, arguments[i]->type.elementCode,
                      arguments[i]->type.typeName);
        RawMember(writer, "example", PathParameterExample(Text(arguments[i]->name)));
        writer.EndObject();
        if (location == 2) {
            declared.insert(Text(arguments[i]->name));
        }
    }
    for (const std::string& name : PlaceholderNames(Text(entry.pathTemplate))) {
        if (declared.insert(name).second) {
            writer.StartObject();
            Member(writer, "name", name);
            Member(writer, "in", "path");
            Key(writer, "required");
            writer.Bool(true);
            Key(writer, "schema");
            schemas.Write(12, 0, "");
            RawMember(writer, "example", PathParameterExample(name));
            writer.EndObject();
        }
    }
    writer.EndArray();
    if (body != nullptr) {
        Key(writer, "requestBody");
        writer.StartObject();
        Key(writer, "required");
        writer.Bool(body->optional == 0);
        Key(writer, "content");
        writer.StartObject();
        for (const char* type :
             {"application/json", "application/x-yaml", "application/x-msgpack"}) {
            Key(writer, type);
            writer.StartObject();
            Key(writer, "schema");
            schemas.Write(body->type.code, body->type.elementCode, body->type.typeName);
            if (std::string_view(type) == "application/json") {
                RawMember(writer, "example", RequestBodyExample(Text(body->type.typeName)));
            }
            writer.EndObject();
        }
        writer.EndObject();
        writer.EndObject();
    }
    Key(writer, "responses");
    writer.StartObject();
    OpenAnswer(writer, "200", "The result");
    Key(writer, "schema");
    schemas.Write(entry.returns.code, entry.returns.elementCode, entry.returns.typeName);
    CloseAnswer(writer);
    WriteErrorAnswers(writer, entry, body != nullptr || declared.count("summonerId") != 0);
    writer.EndObject();
    writer.EndObject();
}

void WriteTypeSchema(Writer& writer, const HostTypeEntry& type, SchemaWriter& schemas) {
    writer.StartObject();
    if (*Text(type.description) != '\0') {
        Member(writer, "description", Text(type.description));
    }
    if (type.fields != nullptr || type.values == nullptr) {
        Member(writer, "type", "object");
        Key(writer, "properties");
        writer.StartObject();
        std::vector<std::string> required;
        for (uint32_t i = 0; type.fields != nullptr && i < type.entryCount; ++i) {
            const HostFieldEntry& field = type.fields[i];
            Key(writer, Text(field.name));
            schemas.Write(field.type.code, field.type.elementCode, field.type.typeName);
            if (field.optional == 0) {
                required.emplace_back(Text(field.name));
            }
        }
        writer.EndObject();
        if (!required.empty()) {
            Key(writer, "required");
            writer.StartArray();
            for (const std::string& name : required) {
                String(writer, name);
            }
            writer.EndArray();
        }
    } else {
        Member(writer, "type", "string");
        Key(writer, "enum");
        writer.StartArray();
        for (uint32_t i = 0; i < type.entryCount; ++i) {
            String(writer, Text(type.values[i].name));
        }
        writer.EndArray();
        Key(writer, "x-enum-values");
        writer.StartObject();
        for (uint32_t i = 0; i < type.entryCount; ++i) {
            Key(writer, Text(type.values[i].name));
            writer.Int(type.values[i].value);
        }
        writer.EndObject();
    }
    writer.EndObject();
}

void WriteEventStream(Writer& writer, const std::string& path) {
    Key(writer, path);
    writer.StartObject();
    Key(writer, "get");
    writer.StartObject();
    Member(writer, "operationId", "GetHostEventStream");
    Member(writer, "summary", "Server-Sent Events: every event published, with monotonic ids");
    Key(writer, "tags");
    writer.StartArray();
    String(writer, "Host");
    writer.EndArray();
    Key(writer, "parameters");
    writer.StartArray();
    const char* const params[][2] = {
        {"event", "only events of this host event name (repeatable)"},
        {"uri", "only resource events whose uri starts with this prefix"},
        {"lastEventId", "replay the kept events after this id (or send Last-Event-ID)"}};
    for (const auto& param : params) {
        writer.StartObject();
        Member(writer, "name", param[0]);
        Member(writer, "in", "query");
        Member(writer, "description", param[1]);
        Key(writer, "schema");
        writer.StartObject();
        Member(writer, "type", "string");
        writer.EndObject();
        writer.EndObject();
    }
    writer.EndArray();
    Key(writer, "responses");
    writer.StartObject();
    OpenAnswer(writer, "200", "The event stream", "text/event-stream");
    Key(writer, "schema");
    writer.StartObject();
    Member(writer, "type", "string");
    writer.EndObject();
    CloseAnswer(writer);
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

// The registered types the operations refer to, and the types those refer to in turn: only
// these are written, so that every schema of the document is used.
std::set<std::string> UsedTypes(const HostApiDescription& description,
                                const std::set<std::string>& referenced) {
    std::map<std::string, const HostTypeEntry*> types;
    for (uint32_t i = 0; description.types != nullptr && i < description.typeCount; ++i) {
        types.emplace(Text(description.types[i].name), &description.types[i]);
    }
    std::set<std::string> used;
    std::vector<std::string> pending(referenced.begin(), referenced.end());
    while (!pending.empty()) {
        const std::string name = pending.back();
        pending.pop_back();
        if (!used.insert(name).second) {
            continue;
        }
        const auto type = types.find(name);
        for (uint32_t i = 0;
             type != types.end() && type->second->fields != nullptr && i < type->second->entryCount;
             ++i) {
            const char* fieldType = type->second->fields[i].type.typeName;
            if (*Text(fieldType) != '\0') {
                pending.emplace_back(fieldType);
            }
        }
    }
    return used;
}

}  // namespace

std::string SchemaName(std::string_view registeredName) {
    std::string name(registeredName);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
            c = '_';
        }
    }
    return name.empty() ? "_" : name;
}

std::string OpenApiPath(std::string_view pathTemplate) {
    std::string path;
    for (std::size_t i = 0; i < pathTemplate.size(); ++i) {
        path += pathTemplate[i];
        if (pathTemplate[i] == '{' && i + 1 < pathTemplate.size() &&
            (pathTemplate[i + 1] == '+' || pathTemplate[i + 1] == '#')) {
            ++i;
        }
    }
    return path;
}

std::string BuildOpenApiDocument(const HostApiDescription& description, const OpenApiInfo& info) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.SetIndent(' ', 2);
    SchemaWriter schemas(writer);
    writer.StartObject();
    Member(writer, "openapi", "3.0.3");
    Key(writer, "info");
    writer.StartObject();
    Member(writer, "title", info.title);
    Member(writer, "version", info.version);
    Member(writer, "description",
           "The local REST API of the plugin, as its API description lists it, served by "
           "zun-clubs-host. Changes are also published as events on the host's event stream. "
           "No authentication: the host listens on the loopback interface only, for the "
           "developer on this machine.");
    writer.EndObject();
    Key(writer, "security");  // none, for the reason the description gives
    writer.StartArray();
    writer.EndArray();
    if (!info.serverUrl.empty()) {
        Key(writer, "servers");
        writer.StartArray();
        writer.StartObject();
        Member(writer, "url", info.serverUrl);
        writer.EndObject();
        writer.EndArray();
    }
    // Operations grouped by path, in the order the endpoints are listed.
    std::vector<std::string> order;
    std::map<std::string, std::vector<const HostFunctionEntry*>> byPath;
    for (uint32_t i = 0; description.functions != nullptr && i < description.functionCount; ++i) {
        const HostFunctionEntry& entry = description.functions[i];
        if (entry.pathTemplate == nullptr || *MethodName(entry.method) == '\0') {
            continue;  // not callable with a standard method
        }
        const std::string path = OpenApiPath(entry.pathTemplate);
        if (byPath[path].empty()) {
            order.push_back(path);
        }
        byPath[path].push_back(&entry);
    }
    Key(writer, "paths");
    writer.StartObject();
    for (const std::string& path : order) {
        Key(writer, path);
        writer.StartObject();
        std::set<uint32_t> methods;
        for (const HostFunctionEntry* entry : byPath[path]) {
            const uint32_t methodCode = entry->method;  // packed field: copy before binding
            if (!methods.insert(methodCode).second) {
                continue;  // the first endpoint of a method and path is the one called
            }
            std::string method = MethodName(entry->method);
            for (char& c : method) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            Key(writer, method);
            WriteOperation(writer, *entry, schemas);
        }
        writer.EndObject();
    }
    if (!info.eventStreamPath.empty()) {
        WriteEventStream(writer, info.eventStreamPath);
    }
    for (const auto& [path, item] : OpenApiHostPaths()) {
        RawMember(writer, path, item);
    }
    writer.EndObject();
    Key(writer, "x-events");
    writer.StartArray();
    for (uint32_t i = 0; description.events != nullptr && i < description.eventCount; ++i) {
        const HostEventEntry& event = description.events[i];
        writer.StartObject();
        Member(writer, "name", Text(event.name));
        Member(writer, "nameSpace", Text(event.nameSpace));
        Member(writer, "description", Text(event.description));
        Member(writer, "type", Text(event.typeName));
        WriteTags(writer, event.tags, event.tagCount);
        writer.EndObject();
    }
    writer.EndArray();
    Key(writer, "components");
    writer.StartObject();
    Key(writer, "schemas");
    writer.StartObject();
    std::set<std::string> written;
    const std::set<std::string> used = UsedTypes(description, schemas.Referenced());
    for (uint32_t i = 0; description.types != nullptr && i < description.typeCount; ++i) {
        const HostTypeEntry& type = description.types[i];
        if (used.count(Text(type.name)) == 0 ||
            !written.insert(SchemaName(Text(type.name))).second) {
            continue;
        }
        Key(writer, SchemaName(Text(type.name)));
        WriteTypeSchema(writer, type, schemas);
    }
    Key(writer, "HostError");
    writer.StartObject();
    Member(writer, "type", "object");
    Key(writer, "properties");
    writer.StartObject();
    Key(writer, "error");
    writer.StartObject();
    Member(writer, "type", "string");
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    for (const auto& [name, schema] : OpenApiHostSchemas()) {
        RawMember(writer, name, schema);
    }
    // Types referred to but not listed keep the document valid as open schemas.
    for (const std::string& name : schemas.Referenced()) {
        if (written.insert(SchemaName(name)).second) {
            Key(writer, SchemaName(name));
            writer.StartObject();
            writer.EndObject();
        }
    }
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Kolm::Host
