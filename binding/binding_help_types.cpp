#include "binding/binding_help_types.h"

#include "binding/binding_type_registry.h"

namespace Kolm {

void RegisterHelpTypes(BindingTypeRegistry& registry) {
    using namespace BindingHelpProvider;

    registry.RegisterEnum<HelpFormat>("BindingHelpFormat")
        .AddValue("Full", Full, "Native help format")
        .AddValue("Epytext", Epytext, "Python epytext format")
        .SetDescription("Help format for binding functions and types.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullTypeIdentifier>("BindingFullTypeIdentifier")
        .AddField("type", &FullTypeIdentifier::type)
        .AddField("elementType", &FullTypeIdentifier::elementType)
        .SetDescription("Describes the type of a value.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullArgumentHelp>("BindingFullArgumentHelp")
        .AddField("name", &FullArgumentHelp::name)
        .AddField("description", &FullArgumentHelp::description)
        .AddField("type", &FullArgumentHelp::type)
        .AddField("optional", &FullArgumentHelp::optional)
        .SetDescription("Describes a function parameter.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullFunctionHelp>("BindingFullFunctionHelp")
        .AddField("name", &FullFunctionHelp::name)
        .AddField("nameSpace", &FullFunctionHelp::nameSpace)
        .AddField("arguments", &FullFunctionHelp::arguments)
        .AddField("returns", &FullFunctionHelp::returns)
        .AddField("description", &FullFunctionHelp::description)
        .AddField("help", &FullFunctionHelp::help)
        .AddField("threadSafe", &FullFunctionHelp::threadSafe)
        .AddField("async", &FullFunctionHelp::async)
        .AddField("tags", &FullFunctionHelp::tags)
        .SetDescription("Describes a function.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullEnumValueHelp>("BindingFullEnumValueHelp")
        .AddField("name", &FullEnumValueHelp::name)
        .AddField("description", &FullEnumValueHelp::description)
        .AddField("value", &FullEnumValueHelp::value)
        .SetDescription("Describes an enumerator.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullFieldHelp>("BindingFullFieldHelp")
        .AddField("name", &FullFieldHelp::name)
        .AddField("description", &FullFieldHelp::description)
        .AddField("offset", &FullFieldHelp::offset)
        .AddField("type", &FullFieldHelp::type)
        .AddField("optional", &FullFieldHelp::optional)
        .SetDescription("Describes a member of a struct.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullTypeHelp>("BindingFullTypeHelp")
        .AddField("name", &FullTypeHelp::name)
        .AddField("nameSpace", &FullTypeHelp::nameSpace)
        .AddField("size", &FullTypeHelp::size)
        .AddField("description", &FullTypeHelp::description)
        .AddField("tags", &FullTypeHelp::tags)
        .AddField("fields", &FullTypeHelp::fields)
        .AddField("values", &FullTypeHelp::values)
        .SetDescription("Describes a struct or enum type.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullEventHelp>("BindingFullEventHelp")
        .AddField("name", &FullEventHelp::name)
        .AddField("nameSpace", &FullEventHelp::nameSpace)
        .AddField("type", &FullEventHelp::type)
        .AddField("description", &FullEventHelp::description)
        .AddField("tags", &FullEventHelp::tags)
        .SetDescription("Describes an event.")
        .SetTags({"$builtin", "help"});

    registry.RegisterStruct<FullApiHelp>("BindingFullApiHelp")
        .AddField("functions", &FullApiHelp::functions)
        .AddField("types", &FullApiHelp::types)
        .AddField("events", &FullApiHelp::events)
        .SetDescription("Describes the exposed native API.")
        .SetTags({"$builtin", "help"});
}

}  // namespace Kolm
