// Bad input never crashes: every kind of value into every kind of field, Empty everywhere,
// records with missing or unregistered parts.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_conversion.h"
#include "binding/binding_type_registry.h"

namespace Kolm {
namespace {

enum class Tiny : std::uint8_t { A = 0, B = 1 };

struct Leaf {
    std::int32_t value = 0;
    std::string label;
};

struct NotRegistered {
    int a = 0;
};

struct Everything {
    bool b = false;
    std::int8_t i8 = 0;
    std::uint16_t u16 = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    float f = 0;
    double d = 0;
    std::string s;
    BindingProperty o;
    BindingBlob blob;
    Tiny tiny = Tiny::A;
    Leaf leaf;
    NotRegistered missing;
    std::vector<bool> bools;
    std::vector<std::string> texts;
    std::vector<Leaf> leaves;
    std::vector<Tiny> tinies;
    std::vector<NotRegistered> missings;
    std::vector<std::vector<Leaf>> grid;
    std::unordered_map<std::string, double> doubles;
    std::unordered_map<std::string, Leaf> leafMap;
    std::unordered_map<std::string, std::vector<Tiny>> tinyLists;
    std::optional<std::int32_t> maybe;
    BindingCallback callback;
};

std::vector<BindingProperty> EveryKind() {
    std::vector<BindingProperty> values;
    values.emplace_back();
    values.emplace_back(true);
    values.emplace_back(-1);
    values.emplace_back(UINT64_MAX);
    values.emplace_back(-1e300);
    values.emplace_back("1");
    values.emplace_back("not a number");
    values.emplace_back("");
    values.emplace_back(BindingBlob{1, 2});
    values.emplace_back(BindingEnumRecord{1, &StaticType::Info<Tiny>()});
    values.emplace_back(BindingEnumRecord{99, nullptr});
    BindingProperty list;
    list[0] = 1;
    list[2]["value"] = "x";
    values.push_back(list);
    BindingProperty structure;
    structure["value"] = 5;
    structure["label"] = 6;
    structure["a"][0] = BindingProperty();
    values.push_back(structure);
    BindingProperty empties;
    empties.MakeStructure();
    values.push_back(empties);
    return values;
}

class ConversionRobustnessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registry.RegisterBuiltins();
        registry.RegisterEnum<Tiny>("Tiny").AddValue("A", Tiny::A).AddValue("B", Tiny::B);
        registry.RegisterStruct<Leaf>("Leaf")
            .AddField("value", &Leaf::value, "", FieldRequired)
            .AddField("label", &Leaf::label);
        registry.RegisterStruct<Everything>("Everything")
            .AddField("b", &Everything::b)
            .AddField("i8", &Everything::i8)
            .AddField("u16", &Everything::u16)
            .AddField("i64", &Everything::i64)
            .AddField("u64", &Everything::u64)
            .AddField("f", &Everything::f)
            .AddField("d", &Everything::d)
            .AddField("s", &Everything::s)
            .AddField("o", &Everything::o)
            .AddField("blob", &Everything::blob)
            .AddField("tiny", &Everything::tiny)
            .AddField("leaf", &Everything::leaf)
            .AddField("bools", &Everything::bools)
            .AddField("texts", &Everything::texts)
            .AddField("leaves", &Everything::leaves)
            .AddField("tinies", &Everything::tinies)
            .AddField("missings", &Everything::missings)
            .AddField("grid", &Everything::grid)
            .AddField("doubles", &Everything::doubles)
            .AddField("leafMap", &Everything::leafMap)
            .AddField("tinyLists", &Everything::tinyLists)
            .AddField("maybe", &Everything::maybe)
            .AddField("callback", &Everything::callback)
            .AddField("missing", &Everything::missing);
    }

    BindingTypeRegistry registry;
};

TEST_F(ConversionRobustnessTest, EveryKindIntoEveryFieldFailsCleanlyOrSucceeds) {
    const BindingTypeInfo* type = registry.FindTypeByName("Everything");
    ASSERT_NE(nullptr, type);
    const std::vector<BindingProperty> inputs = EveryKind();
    int failures = 0;
    for (const BindingFieldInfo& field : type->fields) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            Everything record;
            BindingProperty body;
            body[std::string_view(field.name)] = inputs[i];
            // The same input also as a collection element and as a map entry.
            body["leaves"][0] = inputs[i];
            body["leafMap"]["k"] = inputs[i];
            const BindingResult result = FromBinding(body, record, "body", registry);
            if (!result.success) {
                ++failures;
                EXPECT_FALSE(result.ErrorText().empty()) << field.name << " input " << i;
                EXPECT_EQ(1u, result.value.Size());
            }
            // Whatever was assigned converts back without trouble, except the unregistered part.
            const BindingResult back = ToBinding(record, registry);
            EXPECT_EQ("Couldn't convert native value because it's an unregistered structure.",
                      back.ErrorText());
        }
    }
    EXPECT_GT(failures, 0);
}

TEST_F(ConversionRobustnessTest, EveryKindAsTheWholeInput) {
    for (const BindingProperty& input : EveryKind()) {
        Everything record;
        const BindingResult result = FromBinding(input, record, "<value>", registry);
        if (!input.IsStructure()) {
            EXPECT_FALSE(result.success);
        }
        Leaf leaf;
        (void)FromBinding(input, leaf, "<value>", registry);
        std::vector<Leaf> leaves;
        (void)FromBinding(input, leaves, "<value>", &registry);
        std::unordered_map<std::string, std::vector<Tiny>> nested;
        (void)FromBinding(input, nested, "<value>", &registry);
        HostValue flat{};
        ASSERT_TRUE(ToHostValue(input, flat, &registry));
        const BindingResult again = FromHostValue(flat, "<value>");
        ReleaseHostValue(flat);
        EXPECT_TRUE(again.success);
    }
}

TEST_F(ConversionRobustnessTest, NestedRecordsMissingRequiredFieldsFailWithTheirNames) {
    Everything record;
    BindingProperty body;
    body["leaf"]["label"] = "no value";
    EXPECT_EQ(
        "Couldn't assign value to 'leaf' of type Leaf because the input structure doesn't have "
        "required field 'value'.",
        FromBinding(body, record, "body", registry).ErrorText());
    body.Clear();
    body["leaves"][0]["label"] = "no value";
    EXPECT_EQ(
        "Couldn't assign value to 'leaves' of type Leaf because the input structure doesn't have "
        "required field 'value'.",
        FromBinding(body, record, "body", registry).ErrorText());
}

TEST_F(ConversionRobustnessTest, UnregisteredReferencedTypesFailBothWays) {
    Everything record;
    BindingProperty body;
    body["missing"]["a"] = 1;
    EXPECT_EQ(
        "Couldn't assign value to 'missing' because the input is an unregistered structure or "
        "not a structure at all.",
        FromBinding(body, record, "body", registry).ErrorText());
    body.Clear();
    body["missings"][0]["a"] = 1;
    EXPECT_EQ(
        "Couldn't assign value to 'missings' because the input is an unregistered structure or "
        "not a structure at all.",
        FromBinding(body, record, "body", registry).ErrorText());
}

TEST_F(ConversionRobustnessTest, OptionalFieldsFollowPresence) {
    Everything record;
    BindingProperty body;
    body["maybe"] = "12";
    ASSERT_TRUE(FromBinding(body, record, "body", registry).success);
    EXPECT_EQ(12, record.maybe.value_or(0));
    EXPECT_TRUE(registry.FindTypeByName("Everything")->FindField("maybe")->optional);
    record.missing = {};
    record.maybe.reset();
    BindingResult status;
    BindingProperty out;
    FieldTypeDetail::ToValueTyped<std::optional<std::int32_t>>(status, out, record.maybe, nullptr,
                                                               &registry);
    EXPECT_TRUE(status.success);
    EXPECT_TRUE(out.IsEmpty());
}

TEST_F(ConversionRobustnessTest, DeeplyNestedValuesConvert) {
    BindingProperty deep;
    BindingProperty* cursor = &deep;
    for (int i = 0; i < 200; ++i) {
        cursor = &(*cursor)["next"][0];
    }
    *cursor = "bottom";
    BindingProperty copy = deep;
    EXPECT_EQ(deep, copy);
    HostValue flat{};
    ASSERT_TRUE(ToHostValue(deep, flat, nullptr));
    EXPECT_EQ(deep, FromHostValue(flat, "v").value);
    ReleaseHostValue(flat);
}

}  // namespace
}  // namespace Kolm
