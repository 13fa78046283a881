#include "binding/binding_type_registry.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_async_types.h"
#include "binding/binding_conversion.h"
#include "binding/binding_help_types.h"

namespace Kolm {
namespace {

struct Club {
    std::string name;
    std::int32_t size = 0;
};

struct Owner {
    Club club;
    std::vector<Club> clubs;
};

enum class Level : std::int32_t { Low = 0, High = 1 };

struct Roster {
    std::vector<Club> clubs;
    std::unordered_map<std::string, Club> byName;
};

std::vector<std::string> FieldNames(const BindingTypeInfo& type) {
    std::vector<std::string> names;
    for (const BindingFieldInfo& field : type.fields) {
        names.emplace_back(field.name);
    }
    return names;
}

std::vector<std::string> Tags(const BindingTagList& tags) {
    return std::vector<std::string>(tags.begin(), tags.end());
}

// ---- static type identity ------------------------------------------------------------------

const StaticTypeInfo& ClubInfoFromAnotherPlace() {
    return StaticType::SignatureInfo<Club>();
}

TEST(StaticTypeTest, RecordsOfOneTypeAgreeOnTheHash) {
    EXPECT_EQ(StaticType::Info<Club>().hash, ClubInfoFromAnotherPlace().hash);
    EXPECT_EQ(StaticType::HashCode<Club>(), StaticType::Info<Club>().hash);
    using Alias = Club;
    EXPECT_EQ(StaticType::HashCode<Club>(), StaticType::HashCode<Alias>());
}

TEST(StaticTypeTest, ReferencesAndOtherTypesDiffer) {
    EXPECT_NE(StaticType::HashCode<Club>(), StaticType::HashCode<Club&>());
    EXPECT_NE(StaticType::HashCode<Club>(), StaticType::HashCode<Owner>());
    EXPECT_NE(StaticType::HashCode<std::int32_t>(), StaticType::HashCode<std::uint32_t>());
}

// FNV-1a written out from its definition, independent of the product's Fnv1a.
std::uint32_t DefinitionFnv1a(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : text) {
        hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

// The signature text this compiler gives StaticType::HashCode<T> for T spelled `type` (the
// types below are spelled alike by both compilers); empty for other compilers.
std::string HashCodeSignature(const std::string& type) {
#if defined(__clang__)
    return "std::uint32_t Kolm::StaticType::HashCode() [T = " + type + "]";
#elif defined(__GNUC__)
    return "constexpr uint32_t Kolm::StaticType::HashCode() [with T = " + type +
           "; uint32_t = unsigned int]";
#else
    return std::string();
#endif
}

TEST(StaticTypeTest, HashIsFnv1aOfTheSignatureText) {
    if (HashCodeSignature("int").empty()) {
        GTEST_SKIP() << "no known signature text for this compiler";
    }
    EXPECT_EQ(StaticType::HashCode<int>(), DefinitionFnv1a(HashCodeSignature("int")));
    EXPECT_EQ(StaticType::HashCode<BindingProperty>(),
              DefinitionFnv1a(HashCodeSignature("Kolm::BindingProperty")));
    EXPECT_EQ(StaticType::HashCode<BindingKind>(),
              DefinitionFnv1a(HashCodeSignature("Kolm::BindingKind")));
    // The product's hash is the same function.
    EXPECT_EQ(Fnv1a(std::string_view("")), 0x811C9DC5u);
    EXPECT_EQ(Fnv1a(std::string_view("a")), 0xE40C292Cu);
    EXPECT_EQ(Fnv1a(HashCodeSignature("int")), DefinitionFnv1a(HashCodeSignature("int")));
}

TEST(StaticTypeTest, SdkNamesAreAHashInUpperHex) {
    const std::string name = StaticType::Info<BindingProperty>().name;
    EXPECT_TRUE(std::regex_match(name, std::regex("#[0-9A-F]{8}"))) << name;
    char expected[16];
    std::snprintf(expected, sizeof(expected), "#%08X", StaticType::HashCode<BindingProperty>());
    EXPECT_EQ(expected, name);
}

TEST(BindingTypeCodeTest, NamesEveryCodeAndNothingElse) {
    const char* expected[] = {"",       "bool",   "int8",   "uint8",    "int16",
                              "uint16", "int32",  "uint32", "int64",    "uint64",
                              "float",  "double", "string", "object",   "blob",
                              "vector", "enum",   "struct", "callback", "map"};
    for (int code = 0; code < kBindingTypeCodeCount; ++code) {
        EXPECT_STREQ(expected[code], BindingTypeCodeName(code));
    }
    EXPECT_STREQ("", BindingTypeCodeName(20));
}

// ---- registration rules --------------------------------------------------------------------

TEST(BindingTypeRegistryTest, FirstRegistrationOfANameWins) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Club>("Club", "first").AddField("name", &Club::name);
    BindingTypeBuilder again = registry.RegisterStruct<Club>("Club", "second");
    EXPECT_TRUE(again.AlreadyRegistered());
    again.AddField("size", &Club::size).AddTag("ignored");
    const BindingTypeInfo* club = registry.FindTypeByName("Club");
    ASSERT_NE(nullptr, club);
    EXPECT_EQ((std::vector<std::string>{"name"}), FieldNames(*club));
    EXPECT_EQ("first", club->description);
    EXPECT_TRUE(club->tags.empty());
}

TEST(BindingTypeRegistryTest, FieldsRecordTheirLayoutAndType) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Club>("Club")
        .AddField("name", &Club::name, "The name.", 0, {"a", "", "b"})
        .AddField("size", &Club::size);
    registry.RegisterStruct<Owner>("Owner")
        .AddField("club", &Owner::club)
        .AddField("clubs", &Owner::clubs);
    const BindingTypeInfo* club = registry.FindTypeByName("Club");
    ASSERT_NE(nullptr, club);
    EXPECT_EQ(sizeof(Club), club->size);
    EXPECT_FALSE(club->isEnum);
    const BindingFieldInfo& size = club->fields[1];
    EXPECT_EQ(offsetof(Club, size), size.offset);
    EXPECT_EQ(BindingTypeCode::Int32, size.type.code);
    EXPECT_EQ(Fnv1a(std::string_view("size")), size.nameHash);
    EXPECT_EQ(club, size.owner);
    EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), Tags(club->fields[0].tags));
    EXPECT_EQ("The name.", club->fields[0].description);
    registry.RegisterStruct<Roster>("Roster").AddTag("").AddTag("x");
    EXPECT_EQ((std::vector<std::string>{"x"}), Tags(registry.FindTypeByName("Roster")->tags));

    const BindingTypeInfo* owner = registry.FindTypeByName("Owner");
    ASSERT_NE(nullptr, owner);
    EXPECT_EQ(BindingTypeCode::Struct, owner->fields[0].type.code);
    EXPECT_EQ(club, owner->fields[0].type.type);
    EXPECT_EQ(BindingTypeCode::Vector, owner->fields[1].type.code);
    EXPECT_EQ(BindingTypeCode::Struct, owner->fields[1].type.elementCode);
    EXPECT_EQ(club, owner->fields[1].type.type);
}

TEST(BindingTypeRegistryTest, ReferencedTypesRegisteredLaterStayUnresolved) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Owner>("Owner")
        .AddField("club", &Owner::club)
        .AddField("clubs", &Owner::clubs);
    registry.RegisterStruct<Club>("Club").AddField("name", &Club::name);
    EXPECT_EQ(nullptr, registry.FindTypeByName("Owner")->fields[0].type.type);

    Owner owner;
    EXPECT_EQ("Couldn't convert native value because it's an unregistered structure.",
              ToBinding(owner, registry).ErrorText());
    BindingProperty body;
    body["club"]["name"] = "x";
    EXPECT_EQ(
        "Couldn't assign value to 'club' because the input is an unregistered structure or not a "
        "structure at all.",
        FromBinding(body, owner, "body", registry).ErrorText());
}

TEST(BindingTypeRegistryTest, ContainerElementsRegisteredLaterStayUnresolvedLikeDirectFields) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Roster>("Roster")
        .AddField("clubs", &Roster::clubs)
        .AddField("byName", &Roster::byName);
    registry.RegisterStruct<Club>("Club").AddField("name", &Club::name);
    EXPECT_EQ(nullptr, registry.FindTypeByName("Roster")->fields[0].type.type);
    EXPECT_EQ(nullptr, registry.FindTypeByName("Roster")->fields[1].type.type);

    const std::string unregisteredNative =
        "Couldn't convert native value because it's an unregistered structure.";
    Roster roster;
    roster.clubs.resize(1);
    EXPECT_EQ(unregisteredNative, ToBinding(roster, registry).ErrorText());
    roster.clubs.clear();
    roster.byName["a"].name = "x";
    EXPECT_EQ(unregisteredNative, ToBinding(roster, registry).ErrorText());

    BindingProperty list;
    list["clubs"][0]["name"] = "x";
    EXPECT_EQ(
        "Couldn't assign value to 'clubs' because the input is an unregistered structure or not a "
        "structure at all.",
        FromBinding(list, roster, "body", registry).ErrorText());
    BindingProperty map;
    map["byName"]["a"]["name"] = "x";
    EXPECT_EQ(
        "Couldn't assign value to 'byName' because the input is an unregistered structure or not "
        "a structure at all.",
        FromBinding(map, roster, "body", registry).ErrorText());
}

TEST(BindingTypeRegistryTest, EnumValuesAreKeptByNameAndTheLastAddWins) {
    BindingTypeRegistry registry;
    registry.RegisterEnum<Level>("Level")
        .AddValue("LOW", Level::Low, "low")
        .AddValue("HIGH", 5)
        .AddValue("HIGH", Level::High, "high");
    const BindingTypeInfo* level = registry.FindTypeByName("Level");
    ASSERT_NE(nullptr, level);
    EXPECT_TRUE(level->isEnum);
    EXPECT_EQ(4u, level->size);
    ASSERT_EQ(2u, level->values.size());
    EXPECT_EQ(1, level->FindValue("HIGH")->value);
    EXPECT_EQ("high", level->FindValue("HIGH")->description);
    EXPECT_EQ(nullptr, level->FindValue(5));
    EXPECT_EQ("HIGH", level->values.begin()->first);  // by name
}

TEST(BindingTypeRegistryTest, FindTypeByHashFindsTheRecordThroughAnyStaticRecord) {
    BindingTypeRegistry registry;
    const BindingTypeInfo* club = registry.RegisterStruct<Club>("Club").Type();
    EXPECT_EQ(club, registry.FindTypeByHash(StaticType::Info<Club>()));
    EXPECT_EQ(club, registry.FindTypeByHash(ClubInfoFromAnotherPlace()));
    EXPECT_EQ(nullptr, registry.FindTypeByHash(StaticType::Info<Owner>()));
}

TEST(BindingTypeRegistryTest, VoidTypesAreReachableByNameOnly) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<void>("Anonymous");
    EXPECT_NE(nullptr, registry.FindTypeByName("Anonymous"));
    EXPECT_EQ(nullptr, registry.FindTypeByHash(StaticType::Info<void>()));
}

TEST(BindingTypeRegistryTest, EventsAndFunctionsFollowTheFirstWinsRule) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Club>("Club");
    BindingEventRegistration first = registry.RegisterEvent<Club>("OnClub", "changed");
    EXPECT_FALSE(first.alreadyRegistered);
    EXPECT_EQ(registry.FindTypeByName("Club"), first.event->type);
    BindingEventRegistration second = registry.RegisterEvent<Owner>("OnClub", "other");
    EXPECT_TRUE(second.alreadyRegistered);
    EXPECT_EQ("changed", registry.FindEvent("OnClub")->description);

    auto function = std::make_unique<BindingFunctionInfo>();
    function->name = "GetClub";
    function->description = "first";
    const BindingFunctionInfo* kept = registry.RegisterFunction(std::move(function));
    auto duplicate = std::make_unique<BindingFunctionInfo>();
    duplicate->name = "GetClub";
    EXPECT_EQ(kept, registry.RegisterFunction(std::move(duplicate)));
    EXPECT_EQ(kept, registry.FindFunction("GetClub"));
    EXPECT_EQ(nullptr, registry.FindFunction("Other"));
    ASSERT_EQ(1u, registry.FunctionsSnapshot().size());
    ASSERT_EQ(1u, registry.EventsSnapshot().size());
}

TEST(BindingTypeRegistryTest, SnapshotsListTypesInNameOrder) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Owner>("Owner");
    registry.RegisterStruct<Club>("Club");
    const auto types = registry.TypesSnapshot();
    ASSERT_EQ(2u, types.size());
    EXPECT_EQ("Club", types[0]->name);
    EXPECT_EQ("Owner", types[1]->name);
}

// ---- built-in records ----------------------------------------------------------------------

TEST(BindingBuiltinsTest, HelpFormatAndHelpRecordsAreRegistered) {
    BindingTypeRegistry registry;
    registry.RegisterBuiltins();
    const BindingTypeInfo* format = registry.FindTypeByName("BindingHelpFormat");
    ASSERT_NE(nullptr, format);
    EXPECT_EQ("Help format for binding functions and types.", format->description);
    EXPECT_EQ(1, format->FindValue("Full")->value);
    EXPECT_EQ("Native help format", format->FindValue("Full")->description);
    EXPECT_EQ(2, format->FindValue("Epytext")->value);
    EXPECT_EQ("Python epytext format", format->FindValue("Epytext")->description);

    const char* records[] = {"BindingFullTypeIdentifier", "BindingFullArgumentHelp",
                             "BindingFullFunctionHelp",   "BindingFullEnumValueHelp",
                             "BindingFullFieldHelp",      "BindingFullTypeHelp",
                             "BindingFullEventHelp",      "BindingFullApiHelp"};
    for (const char* name : records) {
        const BindingTypeInfo* type = registry.FindTypeByName(name);
        ASSERT_NE(nullptr, type) << name;
        EXPECT_EQ((std::vector<std::string>{"$builtin", "help"}), Tags(type->tags)) << name;
        for (const BindingFieldInfo& field : type->fields) {
            EXPECT_EQ("", field.description) << name;
            if (field.type.code == BindingTypeCode::Struct ||
                field.type.elementCode == BindingTypeCode::Struct) {
                EXPECT_NE(nullptr, field.type.type) << name << "." << field.name;
            }
        }
    }
    EXPECT_EQ((std::vector<std::string>{"name", "nameSpace", "size", "description", "tags",
                                        "fields", "values"}),
              FieldNames(*registry.FindTypeByName("BindingFullTypeHelp")));
    EXPECT_EQ((std::vector<std::string>{"name", "nameSpace", "arguments", "returns", "description",
                                        "help", "threadSafe", "async", "tags"}),
              FieldNames(*registry.FindTypeByName("BindingFullFunctionHelp")));
    EXPECT_EQ("Describes the exposed native API.",
              registry.FindTypeByName("BindingFullApiHelp")->description);
}

TEST(BindingBuiltinsTest, AsyncRecordsAndTheCallbackEventAreRegistered) {
    BindingTypeRegistry registry;
    registry.RegisterBuiltins();
    const BindingTypeInfo* state = registry.FindTypeByName("BindingAsyncState");
    ASSERT_NE(nullptr, state);
    EXPECT_EQ(4u, state->size);
    EXPECT_EQ((std::vector<std::string>{"$builtin", "async"}), Tags(state->tags));
    ASSERT_EQ(6u, state->values.size());
    EXPECT_EQ(0, state->FindValue("None")->value);
    EXPECT_EQ(5, state->FindValue("Failed")->value);
    EXPECT_EQ("A request to cancel the operation has been made",
              state->FindValue("Cancelling")->description);

    const BindingTypeInfo* callback = registry.FindTypeByName("BindingCallbackEvent");
    ASSERT_NE(nullptr, callback);
    EXPECT_EQ((std::vector<std::string>{"id", "parameters"}), FieldNames(*callback));
    EXPECT_EQ("ID of the callback being invoked", callback->fields[0].description);
    EXPECT_EQ((std::vector<std::string>{"$builtin"}), Tags(callback->tags));
    EXPECT_EQ((std::vector<std::string>{"$builtin", "async"}),
              Tags(registry.FindTypeByName("BindingAsyncCancelEvent")->tags));

    const BindingEventInfo* event = registry.FindEvent("OnCallback");
    ASSERT_NE(nullptr, event);
    EXPECT_EQ(callback, event->type);
    EXPECT_EQ("Fired when a callback is invoked.", event->description);
    EXPECT_EQ((std::vector<std::string>{"$builtin"}), Tags(event->tags));
    EXPECT_EQ(15u, registry.TypesSnapshot().size());
}

TEST(BindingBuiltinsTest, SecondCallStartsOverFromTheBuiltins) {
    BindingTypeRegistry registry;
    registry.RegisterBuiltins();
    registry.RegisterStruct<Club>("Club");
    registry.RegisterBuiltins();
    EXPECT_TRUE(registry.BuiltinsRegistered());
    EXPECT_EQ(nullptr, registry.FindTypeByName("Club"));
    EXPECT_EQ(15u, registry.TypesSnapshot().size());
}

TEST(BindingBuiltinsTest, AsyncEventsConvertWithTheirRules) {
    BindingTypeRegistry registry;
    registry.RegisterBuiltins();
    const BindingResult failure = ToBinding(BindingAsyncFailureEvent{7, "e"}, registry);
    ASSERT_TRUE(failure.success);
    EXPECT_EQ(BindingKind::Unsigned, failure.value.Find("asyncToken").Kind());
    EXPECT_EQ(7u, failure.value.Find("asyncToken").GetUnsigned());
    EXPECT_EQ("e", failure.value.Find("error").GetString());

    BindingProperty body;
    body["asyncToken"] = -1;
    BindingAsyncCancelEvent cancel;
    EXPECT_EQ("Value -1 for 'asyncToken' of type uint32 is out of range",
              FromBinding(body, cancel, "<value>", registry).ErrorText());

    BindingCallbackEvent call{3, {BindingProperty("a"), BindingProperty(2)}};
    const BindingResult value = ToBinding(call, registry);
    ASSERT_TRUE(value.success);
    EXPECT_EQ("a", value.value.Find("parameters").At(0).GetString());
    BindingCallbackEvent back;
    ASSERT_TRUE(FromBinding(value.value, back, "<value>", registry).success);
    EXPECT_EQ(3u, back.id);
    EXPECT_EQ(2, back.parameters[1].GetSigned());
}

}  // namespace
}  // namespace Kolm
