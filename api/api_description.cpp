#include "api/api_description.h"

#include <cstring>

#include "api/host_response.h"
#include "api/http_method.h"
#include "api/request_dispatch.h"
#include "binding/binding_type_registry.h"

namespace Kolm {

namespace {

const char* Text(const BindingString& text) {
    return text.empty() ? SharedEmptyText() : text.c_str();
}

const char* Text(const std::string& text) {
    return text.empty() ? SharedEmptyText() : text.c_str();
}

uint32_t HostTypeCode(BindingTypeCode code) {
    auto value = static_cast<uint32_t>(code);
    return value >= 1 && value <= 19 ? value : 0;
}

HostTypeIdentifier HostType(const BindingTypeId& type) {
    HostTypeIdentifier host{HostTypeCode(type.code), HostTypeCode(type.elementCode),
                            SharedEmptyText()};
    bool refers = type.code == BindingTypeCode::Vector || type.code == BindingTypeCode::Enum ||
                  type.code == BindingTypeCode::Struct || type.code == BindingTypeCode::Map;
    if (refers && type.type != nullptr) {
        host.typeName = Text(type.type->name);
    }
    return host;
}

std::vector<const char*> TagTexts(const BindingTagList& tags) {
    std::vector<const char*> texts;
    for (const BindingString& tag : tags) {
        texts.push_back(Text(tag));
    }
    return texts;
}

// Chains the entries of an array through their first field.
template <class Entry>
void Chain(std::vector<Entry>& entries) {
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        entries[i].next = &entries[i + 1];
    }
}

template <class Entry>
const Entry* First(const std::vector<Entry>& entries) {
    return entries.empty() ? nullptr : entries.data();
}

}  // namespace

ApiDescription::ApiDescription(const BindingTypeRegistry& types,
                               const std::vector<std::unique_ptr<Endpoint>>& endpoints) {
    BuildFunctionHelp(types);
    BuildFunctionEntries(endpoints);
    BuildTypes(types);
    BuildEvents(types);
    record_.functions = First(functions_);
    record_.functionCount = static_cast<uint32_t>(functions_.size());
    record_.types = First(types_);
    record_.typeCount = static_cast<uint32_t>(types_.size());
    record_.events = First(events_);
    record_.eventCount = static_cast<uint32_t>(events_.size());
}

const char* const* ApiDescription::TagArray(const std::vector<const char*>& tags) {
    if (tags.empty()) {
        return nullptr;
    }
    tagArrays_.push_back(std::make_unique<std::vector<const char*>>(tags));
    return tagArrays_.back()->data();
}

void ApiDescription::BuildFunctionHelp(const BindingTypeRegistry& types) {
    std::vector<const BindingFunctionInfo*> functions = types.FunctionsSnapshot();
    functionHelp_.resize(functions.size());
    argumentHelp_.resize(functions.size());
    for (size_t i = 0; i < functions.size(); ++i) {
        const BindingFunctionInfo& function = *functions[i];
        std::vector<HostArgumentHelp>& arguments = argumentHelp_[i];
        for (const BindingArgumentInfo& argument : function.arguments) {
            arguments.push_back(
                HostArgumentHelp{nullptr, Text(argument.name), Text(argument.description),
                                 HostType(argument.type), static_cast<uint8_t>(argument.optional)});
        }
        Chain(arguments);
        HostFunctionHelp& help = functionHelp_[i];
        std::memset(&help, 0, sizeof(help));
        help.name = Text(function.name);
        help.nameSpace = Text(function.nameSpace);
        help.arguments = First(arguments);
        help.argumentCount = static_cast<uint32_t>(arguments.size());
        help.returns = HostType(function.returns);
        help.description = Text(function.description);
        help.help = Text(function.help);
        help.threadSafe = function.threadSafe ? 1 : 0;
        help.async = Text(function.async);
        std::vector<const char*> tags = TagTexts(function.tags);
        help.tags = TagArray(tags);
        help.tagCount = static_cast<uint32_t>(tags.size());
    }
    Chain(functionHelp_);
}

const HostFunctionHelp* ApiDescription::FindFunctionHelp(std::string_view name) const {
    for (const HostFunctionHelp& help : functionHelp_) {
        if (name == help.name) {
            return &help;
        }
    }
    return nullptr;
}

void ApiDescription::BuildFunctionEntries(const std::vector<std::unique_ptr<Endpoint>>& endpoints) {
    functions_.resize(endpoints.size());
    locations_.resize(endpoints.size());
    for (size_t i = 0; i < endpoints.size(); ++i) {
        const Endpoint& endpoint = *endpoints[i];
        HostFunctionEntry& entry = functions_[i];
        std::memset(&entry, 0, sizeof(entry));
        if (const HostFunctionHelp* help = FindFunctionHelp(endpoint.functionName)) {
            entry.name = help->name;
            entry.nameSpace = help->nameSpace;
            entry.arguments = help->arguments;
            entry.argumentCount = help->argumentCount;
            entry.returns = help->returns;
            entry.description = help->description;
            entry.help = help->help;
            entry.threadSafe = help->threadSafe;
            entry.async = help->async;
            entry.tags = help->tags;
            entry.tagCount = help->tagCount;
        } else {
            entry.name = entry.nameSpace = entry.description = entry.help = entry.async =
                SharedEmptyText();
            entry.returns.typeName = SharedEmptyText();
        }
        entry.dispatchRecord = &endpoint.dispatch;
        entry.handler = &HandleEndpointRequest;
        std::vector<HostArgumentLocation>& locations = locations_[i];
        for (const EndpointArgument& argument : endpoint.arguments) {
            locations.push_back(
                HostArgumentLocation{nullptr, static_cast<uint32_t>(argument.location)});
        }
        Chain(locations);
        entry.argumentLocations = First(locations);
        entry.pathTemplate = Text(endpoint.pathTemplate);
        entry.method = HostMethodCode(endpoint.methodCode);
        entry.flag = endpoint.flag;
        entry.methodName = Text(endpoint.methodName);
    }
    Chain(functions_);
}

void ApiDescription::BuildTypes(const BindingTypeRegistry& types) {
    std::vector<const BindingTypeInfo*> registered = types.TypesSnapshot();
    types_.resize(registered.size());
    fields_.resize(registered.size());
    values_.resize(registered.size());
    for (size_t i = 0; i < registered.size(); ++i) {
        const BindingTypeInfo& type = *registered[i];
        for (const BindingFieldInfo& field : type.fields) {
            fields_[i].push_back(HostFieldEntry{nullptr, Text(field.name), Text(field.description),
                                                field.offset, HostType(field.type),
                                                static_cast<uint8_t>(field.optional)});
        }
        for (const auto& [name, value] : type.values) {
            values_[i].push_back(HostValueHelpEntry{nullptr, Text(value.name),
                                                    Text(value.description), value.value});
        }
        Chain(fields_[i]);
        Chain(values_[i]);
        HostTypeEntry& entry = types_[i];
        std::memset(&entry, 0, sizeof(entry));
        entry.name = Text(type.name);
        entry.nameSpace = Text(type.nameSpace);
        entry.size = type.size;
        entry.description = Text(type.description);
        std::vector<const char*> tags = TagTexts(type.tags);
        entry.tags = TagArray(tags);
        entry.tagCount = static_cast<uint32_t>(tags.size());
        if (!fields_[i].empty()) {
            entry.fields = First(fields_[i]);
            entry.entryCount = static_cast<uint32_t>(fields_[i].size());
        } else {
            entry.values = First(values_[i]);
            entry.entryCount = static_cast<uint32_t>(values_[i].size());
        }
    }
    Chain(types_);
}

void ApiDescription::BuildEvents(const BindingTypeRegistry& types) {
    std::vector<const BindingEventInfo*> registered = types.EventsSnapshot();
    events_.resize(registered.size());
    for (size_t i = 0; i < registered.size(); ++i) {
        const BindingEventInfo& event = *registered[i];
        HostEventEntry& entry = events_[i];
        std::memset(&entry, 0, sizeof(entry));
        entry.name = Text(event.name);
        entry.nameSpace = Text(event.nameSpace);
        entry.typeName = event.type != nullptr ? Text(event.type->name) : SharedEmptyText();
        entry.description = Text(event.description);
        std::vector<const char*> tags = TagTexts(event.tags);
        entry.tags = TagArray(tags);
        entry.tagCount = static_cast<uint32_t>(tags.size());
    }
    Chain(events_);
}

}  // namespace Kolm
