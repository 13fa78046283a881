// The built-in records that describe a plugin's exposed API (functions, types, events) and the
// enumeration of help formats. They are registered before any plugin type so that every API
// description lists them; nothing in the plugin fills them with values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Kolm {

class BindingTypeRegistry;

namespace BindingHelpProvider {

enum HelpFormat : std::int32_t {
    Full = 1,
    Epytext = 2,
};

struct FullTypeIdentifier {
    std::string type;
    std::string elementType;
};

struct FullArgumentHelp {
    std::string name;
    std::string description;
    FullTypeIdentifier type;
    bool optional = false;
};

struct FullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<FullArgumentHelp> arguments;
    FullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;
    std::vector<std::string> tags;
};

struct FullEnumValueHelp {
    std::string name;
    std::string description;
    std::int32_t value = 0;
};

struct FullFieldHelp {
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    FullTypeIdentifier type;
    bool optional = false;
};

struct FullTypeHelp {
    std::string name;
    std::string nameSpace;
    std::uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FullFieldHelp> fields;
    std::vector<FullEnumValueHelp> values;
};

struct FullEventHelp {
    std::string name;
    std::string nameSpace;
    FullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct FullApiHelp {
    std::vector<FullFunctionHelp> functions;
    std::vector<FullTypeHelp> types;
    std::vector<FullEventHelp> events;
};

}  // namespace BindingHelpProvider

// Registers "BindingHelpFormat" and the eight help records, each referenced record first.
void RegisterHelpTypes(BindingTypeRegistry& registry);

}  // namespace Kolm
