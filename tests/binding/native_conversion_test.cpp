#include "binding/binding_conversion.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_type_registry.h"

namespace Kolm {
namespace {

enum class Color : std::int8_t { Red = 0, Green = 1, Blue = 2 };
enum class Wide : std::int64_t { Small = -1, Big = 7 };

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct Sample {
    bool flag = false;
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    std::int16_t i16 = 0;
    std::uint16_t u16 = 0;
    std::int32_t i32 = 0;
    std::uint32_t u32 = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    BindingProperty object;
    BindingBlob blob;
    std::vector<std::int32_t> numbers;
    std::vector<bool> flags;
    Color color = Color::Red;
    Wide wide = Wide::Small;
    Point point;
    std::vector<Point> points;
    std::unordered_map<std::string, std::int32_t> counts;
    std::unordered_map<std::string, Point> places;
    std::vector<std::vector<std::int32_t>> grid;
    std::vector<Color> colors;
};

class NativeConversionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registry.RegisterEnum<Color>("Color")
            .AddValue("RED", Color::Red)
            .AddValue("GREEN", Color::Green)
            .AddValue("BLUE", Color::Blue);
        registry.RegisterEnum<Wide>("Wide")
            .AddValue("SMALL", Wide::Small)
            .AddValue("BIG", Wide::Big);
        registry.RegisterStruct<Point>("Point").AddField("x", &Point::x).AddField("y", &Point::y);
        registry.RegisterStruct<Sample>("Sample")
            .AddField("flag", &Sample::flag)
            .AddField("i8", &Sample::i8)
            .AddField("u8", &Sample::u8)
            .AddField("i16", &Sample::i16)
            .AddField("u16", &Sample::u16)
            .AddField("i32", &Sample::i32)
            .AddField("u32", &Sample::u32)
            .AddField("i64", &Sample::i64)
            .AddField("u64", &Sample::u64)
            .AddField("f32", &Sample::f32)
            .AddField("f64", &Sample::f64)
            .AddField("text", &Sample::text)
            .AddField("object", &Sample::object)
            .AddField("blob", &Sample::blob)
            .AddField("numbers", &Sample::numbers)
            .AddField("flags", &Sample::flags)
            .AddField("color", &Sample::color)
            .AddField("wide", &Sample::wide)
            .AddField("point", &Sample::point)
            .AddField("points", &Sample::points)
            .AddField("counts", &Sample::counts)
            .AddField("places", &Sample::places)
            .AddField("grid", &Sample::grid)
            .AddField("colors", &Sample::colors);
    }

    // Assigns {field: input} to `sample` and returns the error text ("" on success).
    std::string AssignField(const char* field, const BindingProperty& input) {
        BindingProperty body;
        body[field] = input;
        const BindingResult result = FromBinding(body, sample, "body", registry);
        return std::string(result.ErrorText());
    }

    BindingTypeRegistry registry;
    Sample sample;
};

// ---- integers ------------------------------------------------------------------------------

TEST_F(NativeConversionTest, IntegerTextsParseInEveryBase) {
    EXPECT_EQ("", AssignField("i32", "0x10"));
    EXPECT_EQ(16, sample.i32);
    EXPECT_EQ("", AssignField("i32", "010"));
    EXPECT_EQ(8, sample.i32);
    EXPECT_EQ("", AssignField("i32", "  -42"));
    EXPECT_EQ(-42, sample.i32);
    EXPECT_EQ("", AssignField("i32", ""));
    EXPECT_EQ(0, sample.i32);
}

TEST_F(NativeConversionTest, IntegerTextsWithLeftoversAreInAnIncorrectFormat) {
    EXPECT_EQ("Value 12abc for 'i32' of type int32 is in an incorrect format",
              AssignField("i32", "12abc"));
    EXPECT_EQ("Value 12  for 'i32' of type int32 is in an incorrect format",
              AssignField("i32", "12 "));
    EXPECT_EQ("Value 1.5 for 'u16' of type uint16 is in an incorrect format",
              AssignField("u16", "1.5"));
    // The C parsers stop at a zero byte; what follows it is a leftover too.
    const std::string withZero(
        "1\0"
        "2",
        3);
    EXPECT_EQ("Value " + withZero + " for 'i64' of type int64 is in an incorrect format",
              AssignField("i64", withZero));
}

TEST_F(NativeConversionTest, IntegersOutsideTheRangeAreRejected) {
    EXPECT_EQ("Value 300 for 'u8' of type uint8 is out of range", AssignField("u8", "300"));
    EXPECT_EQ("Value 128 for 'i8' of type int8 is out of range", AssignField("i8", 128));
    EXPECT_EQ("Value -129 for 'i8' of type int8 is out of range", AssignField("i8", -129));
    EXPECT_EQ("Value 32768 for 'i16' of type int16 is out of range", AssignField("i16", 32768u));
    EXPECT_EQ("Value 65536 for 'u16' of type uint16 is out of range", AssignField("u16", 65536));
    EXPECT_EQ("Value 2147483648 for 'i32' of type int32 is out of range",
              AssignField("i32", "2147483648"));
    EXPECT_EQ("Value 9223372036854775808 for 'i64' of type int64 is out of range",
              AssignField("i64", std::uint64_t{9223372036854775808u}));
    EXPECT_EQ("Value 99999999999999999999 for 'i64' of type int64 is out of range",
              AssignField("i64", "99999999999999999999"));
    EXPECT_EQ("Value 99999999999999999999 for 'u64' of type uint64 is out of range",
              AssignField("u64", "99999999999999999999"));
}

TEST_F(NativeConversionTest, NegativeValuesNeverFitUnsignedFields) {
    EXPECT_EQ("Value -1 for 'u32' of type uint32 is out of range", AssignField("u32", "-1"));
    EXPECT_EQ("Value -1 for 'u32' of type uint32 is out of range", AssignField("u32", -1));
    EXPECT_EQ("Value  -0 for 'u64' of type uint64 is out of range", AssignField("u64", " -0"));
    EXPECT_EQ("Value -1 for 'u8' of type uint8 is out of range",
              AssignField("u8", BindingEnumRecord{-1, nullptr}));
}

TEST_F(NativeConversionTest, IntegerLimitsAreAccepted) {
    EXPECT_EQ("", AssignField("i64", INT64_MIN));
    EXPECT_EQ(INT64_MIN, sample.i64);
    EXPECT_EQ("", AssignField("u64", "18446744073709551615"));
    EXPECT_EQ(UINT64_MAX, sample.u64);
    EXPECT_EQ("", AssignField("i8", "-128"));
    EXPECT_EQ(-128, sample.i8);
    EXPECT_EQ("", AssignField("u8", 255u));
    EXPECT_EQ(255, sample.u8);
}

TEST_F(NativeConversionTest, FloatsAreTruncatedTowardZero) {
    EXPECT_EQ("", AssignField("i8", 2.9));
    EXPECT_EQ(2, sample.i8);
    EXPECT_EQ("", AssignField("i8", -2.9));
    EXPECT_EQ(-2, sample.i8);
    EXPECT_EQ("", AssignField("u32", 4294967295.0));
    EXPECT_EQ(4294967295u, sample.u32);
}

TEST_F(NativeConversionTest, FloatsOutsideAnIntegerRangeAreRejected) {
    EXPECT_EQ("Value 128.5 for 'i8' of type int8 is out of range", AssignField("i8", 128.5));
    EXPECT_EQ("Value -0.5 for 'u8' of type uint8 is out of range", AssignField("u8", -0.5));
    const std::string nanMessage = AssignField("i32", std::numeric_limits<double>::quiet_NaN());
    EXPECT_NE(std::string::npos, nanMessage.find("is out of range")) << nanMessage;
    // 2^63 and 2^64 are the rounded bounds and do not fit.
    EXPECT_NE("", AssignField("i64", 9223372036854775808.0));
    EXPECT_NE("", AssignField("u64", 18446744073709551616.0));
}

TEST_F(NativeConversionTest, EnumsAssignTheirValueToIntegers) {
    EXPECT_EQ("", AssignField("i16", BindingEnumRecord{-7, nullptr}));
    EXPECT_EQ(-7, sample.i16);
}

TEST_F(NativeConversionTest, OtherKindsAreOfAnInvalidTypeForNumbers) {
    EXPECT_EQ(
        "Couldn't assign value to 'i32' of type int32 because the input is of an invalid type "
        "bool.",
        AssignField("i32", true));
    EXPECT_EQ(
        "Couldn't assign value to 'u64' of type uint64 because the input is of an invalid type "
        "blob.",
        AssignField("u64", BindingBlob{1}));
    BindingProperty list;
    list.Append() = 1;
    EXPECT_EQ(
        "Couldn't assign value to 'f64' of type double because the input is of an invalid type "
        "collection.",
        AssignField("f64", list));
    BindingProperty structure;
    structure["a"] = 1;
    EXPECT_EQ(
        "Couldn't assign value to 'f32' of type float because the input is of an invalid type "
        "structure.",
        AssignField("f32", structure));
}

// ---- floating point ------------------------------------------------------------------------

TEST_F(NativeConversionTest, FloatFieldsTakeNumbersAndTexts) {
    EXPECT_EQ("", AssignField("f32", 1.25));
    EXPECT_EQ(1.25f, sample.f32);
    EXPECT_EQ("", AssignField("f64", "2.5e3"));
    EXPECT_EQ(2500.0, sample.f64);
    EXPECT_EQ("", AssignField("f64", UINT64_MAX));
    EXPECT_EQ(18446744073709551615.0, sample.f64);
    EXPECT_EQ("", AssignField("f64", "1e-400"));  // an underflow is in range
    EXPECT_EQ("", AssignField("f64", BindingEnumRecord{3, nullptr}));
    EXPECT_EQ(3.0, sample.f64);
}

TEST_F(NativeConversionTest, FloatFieldsRejectOverflowAndLeftovers) {
    EXPECT_EQ("Value 1e39 for 'f32' of type float is out of range", AssignField("f32", "1e39"));
    EXPECT_EQ("Value 1e999 for 'f64' of type double is out of range", AssignField("f64", "1e999"));
    EXPECT_EQ("Value 1.5x for 'f64' of type double is in an incorrect format",
              AssignField("f64", "1.5x"));
    EXPECT_NE("", AssignField("f32", 1e39));
}

// ---- bool ----------------------------------------------------------------------------------

TEST_F(NativeConversionTest, BoolFieldsTakeFourWords) {
    EXPECT_EQ("", AssignField("flag", "1"));
    EXPECT_TRUE(sample.flag);
    EXPECT_EQ("", AssignField("flag", "false"));
    EXPECT_FALSE(sample.flag);
    EXPECT_EQ("", AssignField("flag", "true"));
    EXPECT_TRUE(sample.flag);
    EXPECT_EQ("", AssignField("flag", "0"));
    EXPECT_FALSE(sample.flag);
    EXPECT_EQ(
        "Value TRUE for 'flag' of type bool is in an incorrect format. Options are \"true\", "
        "\"false\", \"1\", \"0\".",
        AssignField("flag", "TRUE"));
    EXPECT_EQ(
        "Couldn't assign value to 'flag' of type bool because the input is of an invalid type "
        "signed.",
        AssignField("flag", 1));
}

// ---- texts, blobs and objects --------------------------------------------------------------

TEST_F(NativeConversionTest, StringFieldsTakeTextsAndEnumNames) {
    EXPECT_EQ("", AssignField("text", "hello"));
    EXPECT_EQ("hello", sample.text);
    EXPECT_EQ("", AssignField("text", BindingEnumRecord{2, &StaticType::Info<Color>()}));
    EXPECT_EQ("BLUE", sample.text);
    EXPECT_EQ("9 is not a valid enumeration value for 'text'.",
              AssignField("text", BindingEnumRecord{9, &StaticType::Info<Color>()}));
    EXPECT_EQ("Couldn't assign value to 'text' because the input is not a string.",
              AssignField("text", 5));
}

TEST_F(NativeConversionTest, BlobFieldsDecodeBase64) {
    EXPECT_EQ("", AssignField("blob", "aGk="));
    EXPECT_EQ((BindingBlob{'h', 'i'}), sample.blob);
    EXPECT_EQ("", AssignField("blob", ""));
    EXPECT_TRUE(sample.blob.empty());
    EXPECT_EQ("", AssignField("blob", BindingBlob{9, 8}));
    EXPECT_EQ((BindingBlob{9, 8}), sample.blob);
    EXPECT_EQ(
        "Couldn't assign string value to 'blob' of type blob because the input has invalid base64 "
        "characters.",
        AssignField("blob", "aGk-"));
    EXPECT_EQ("Couldn't assign value to 'blob' of type blob because the input is not a blob.",
              AssignField("blob", 1.0));
}

TEST_F(NativeConversionTest, ObjectFieldsHoldADeepCopyOfAnyKind) {
    BindingProperty input;
    input["nested"][1] = "x";
    EXPECT_EQ("", AssignField("object", input));
    EXPECT_EQ(input, sample.object);
    BindingProperty body;
    body["object"] = 5;
    EXPECT_TRUE(FromBinding(body, sample, "body", registry).success);
    EXPECT_EQ(5, sample.object.GetSigned());
}

// ---- enumerations --------------------------------------------------------------------------

TEST_F(NativeConversionTest, EnumFieldsTakeNamesAndRegisteredNumbers) {
    EXPECT_EQ("", AssignField("color", "GREEN"));
    EXPECT_EQ(Color::Green, sample.color);
    EXPECT_EQ("", AssignField("color", "2"));
    EXPECT_EQ(Color::Blue, sample.color);
    EXPECT_EQ("", AssignField("color", 1u));
    EXPECT_EQ(Color::Green, sample.color);
    EXPECT_EQ("", AssignField("color", BindingEnumRecord{0, nullptr}));
    EXPECT_EQ(Color::Red, sample.color);
    EXPECT_EQ("", AssignField("wide", "SMALL"));
    EXPECT_EQ(Wide::Small, sample.wide);  // sign-extended into 8 bytes
    EXPECT_EQ("", AssignField("wide", 7));
    EXPECT_EQ(Wide::Big, sample.wide);
}

TEST_F(NativeConversionTest, EnumTextsParseAsNumbersLikeIntegers) {
    sample.color = Color::Blue;
    EXPECT_EQ("", AssignField("color", ""));  // the empty text is 0, a registered value
    EXPECT_EQ(Color::Red, sample.color);
    EXPECT_EQ("", AssignField("color", "0x1"));
    EXPECT_EQ(Color::Green, sample.color);
    EXPECT_EQ("1 x is not a valid Color enumeration value for 'color'.",
              AssignField("color", "1 x"));
}

TEST_F(NativeConversionTest, EnumFieldsRejectUnknownNamesAndNumbers) {
    EXPECT_EQ("green is not a valid Color enumeration value for 'color'.",
              AssignField("color", "green"));
    EXPECT_EQ("5 is not a valid Color enumeration value for 'color'.", AssignField("color", "5"));
    EXPECT_EQ("5 is not a valid Color enumeration value for 'color'.", AssignField("color", 5));
    EXPECT_EQ("-1 is not a valid Color enumeration value for 'color'.",
              AssignField("color", BindingEnumRecord{-1, nullptr}));
    EXPECT_EQ(
        "Couldn't assign value to 'color' of enum type because the input is of an invalid type "
        "float.",
        AssignField("color", 1.0));
    EXPECT_EQ(
        "Couldn't assign value to 'color' of enum type because the input is of an invalid type "
        "bool.",
        AssignField("color", true));
}

TEST_F(NativeConversionTest, EnumFieldsBecomeEnumRecords) {
    sample.color = Color::Blue;
    sample.wide = Wide::Small;
    const BindingResult result = ToBinding(sample, registry);
    ASSERT_TRUE(result.success) << result.ErrorText();
    const BindingEnumRecord color = result.value.Find("color").GetEnum();
    EXPECT_EQ(2, color.value);
    EXPECT_EQ(StaticType::HashCode<Color>(), color.type->hash);
    EXPECT_EQ(-1, result.value.Find("wide").GetEnum().value);
}

// ---- structures ----------------------------------------------------------------------------

TEST_F(NativeConversionTest, TopLevelChecksNameTheCallersLabel) {
    EXPECT_EQ("A value for 'body' is required.",
              FromBinding(BindingProperty(), sample, "body", registry).ErrorText());
    EXPECT_EQ("Couldn't assign value to 'body' of type Sample because the input not a structure.",
              FromBinding(BindingProperty(1), sample, "body", registry).ErrorText());
    struct Unknown {
        int a;
    } unknown{};
    EXPECT_EQ(
        "Couldn't assign value to 'body' because the input is an unregistered structure or not a "
        "structure at all.",
        FromBinding(BindingProperty(1), unknown, "body", registry).ErrorText());
    EXPECT_EQ("Couldn't convert native value because it's an unregistered structure.",
              ToBinding(unknown, registry).ErrorText());
}

TEST_F(NativeConversionTest, MissingFieldsKeepTheirValueAndExtraKeysAreIgnored) {
    sample.i32 = 77;
    sample.text = "kept";
    BindingProperty body;
    body["i16"] = 5;
    body["i32"];  // Empty counts as missing
    body["unknown"] = "ignored";
    ASSERT_TRUE(FromBinding(body, sample, "body", registry).success);
    EXPECT_EQ(77, sample.i32);
    EXPECT_EQ("kept", sample.text);
    EXPECT_EQ(5, sample.i16);
}

TEST_F(NativeConversionTest, NestedStructuresUseTheFieldNameInMessages) {
    BindingProperty body;
    body["point"]["x"] = "oops";
    EXPECT_EQ("Value oops for 'x' of type int32 is in an incorrect format",
              FromBinding(body, sample, "body", registry).ErrorText());
    body["point"] = 3;
    EXPECT_EQ("Couldn't assign value to 'point' of type Point because the input not a structure.",
              FromBinding(body, sample, "body", registry).ErrorText());
}

TEST_F(NativeConversionTest, FailureStopsTheWalkAndKeepsEarlierFields) {
    BindingProperty body;
    body["i8"] = 1;
    body["i16"] = "bad";
    body["i32"] = 3;
    const BindingResult result = FromBinding(body, sample, "body", registry);
    EXPECT_FALSE(result.success);
    EXPECT_EQ("Value bad for 'i16' of type int16 is in an incorrect format", result.ErrorText());
    EXPECT_EQ(1, sample.i8);
    EXPECT_EQ(0, sample.i32);  // after the failing field: untouched
}

TEST_F(NativeConversionTest, RecordWithoutFieldsGivesAnEmptyStructure) {
    struct Nothing {};
    registry.RegisterStruct<Nothing>("Nothing");
    const BindingResult result = ToBinding(Nothing{}, registry);
    ASSERT_TRUE(result.success);
    EXPECT_EQ(BindingKind::Structure, result.value.Kind());
    EXPECT_EQ(0u, result.value.Size());
}

// ---- vectors and maps ----------------------------------------------------------------------

TEST_F(NativeConversionTest, VectorsKeepDefaultsForEmptyElements) {
    BindingProperty list;
    list[0] = 1;
    list[2] = 3;
    EXPECT_EQ("", AssignField("numbers", list));
    EXPECT_EQ((std::vector<std::int32_t>{1, 0, 3}), sample.numbers);
    BindingProperty points;
    points[1]["y"] = 4;
    EXPECT_EQ("", AssignField("points", points));
    ASSERT_EQ(2u, sample.points.size());
    EXPECT_EQ(4, sample.points[1].y);
}

TEST_F(NativeConversionTest, VectorsNeedACollection) {
    sample.numbers = {9};
    EXPECT_EQ(
        "Couldn't assign value to 'numbers' of type vector because the input not a "
        "collection.",
        AssignField("numbers", "1,2"));
    EXPECT_TRUE(sample.numbers.empty());  // emptied before the check
    EXPECT_EQ(
        "Couldn't assign value to 'points' of type vector because the input not a "
        "collection.",
        AssignField("points", 1));
}

TEST_F(NativeConversionTest, VectorOfBoolRequiresAValueWhenEmpty) {
    std::vector<bool> flags;
    EXPECT_EQ("A value for 'flags' is required.",
              FromBinding(BindingProperty(), flags, "flags", &registry).ErrorText());
    std::vector<std::int32_t> numbers;
    EXPECT_EQ(
        "Couldn't assign value to 'numbers' of type vector because the input not a collection.",
        FromBinding(BindingProperty(), numbers, "numbers", &registry).ErrorText());
    std::unordered_map<std::string, std::int32_t> counts;
    EXPECT_EQ("Couldn't assign value to 'counts' of type map because the input not a structure.",
              FromBinding(BindingProperty(), counts, "counts", &registry).ErrorText());
}

TEST_F(NativeConversionTest, ElementFailuresCarryTheFieldName) {
    BindingProperty list;
    list[0] = 1;
    list[1] = "x";
    EXPECT_EQ("Value x for 'numbers' of type int32 is in an incorrect format",
              AssignField("numbers", list));
    BindingProperty colors;
    colors[0] = "PINK";
    EXPECT_EQ("PINK is not a valid Color enumeration value for 'colors'.",
              AssignField("colors", colors));
}

TEST_F(NativeConversionTest, MapsSkipEmptyEntries) {
    BindingProperty counts;
    counts["a"] = 1;
    counts["b"];
    EXPECT_EQ("", AssignField("counts", counts));
    EXPECT_EQ((std::unordered_map<std::string, std::int32_t>{{"a", 1}}), sample.counts);
    EXPECT_EQ("Couldn't assign value to 'places' of type map because the input not a structure.",
              AssignField("places", BindingProperty(1)));
}

TEST_F(NativeConversionTest, NestedContainersRoundTrip) {
    sample.grid = {{1, 2}, {}, {3}};
    sample.places["home"] = Point{1, 2};
    sample.colors = {Color::Blue, Color::Red};
    sample.counts = {{"z", 26}, {"a", 1}};
    const BindingResult value = ToBinding(sample, registry);
    ASSERT_TRUE(value.success) << value.ErrorText();
    EXPECT_EQ(2, value.value.Find("places").Find("home").Find("y").GetSigned());
    Sample back;
    ASSERT_TRUE(FromBinding(value.value, back, "body", registry).success);
    EXPECT_EQ(sample.grid, back.grid);
    EXPECT_EQ(2, back.places["home"].y);
    EXPECT_EQ(sample.colors, back.colors);
    EXPECT_EQ(sample.counts, back.counts);
}

TEST_F(NativeConversionTest, EveryFieldRoundTrips) {
    sample.flag = true;
    sample.i8 = -8;
    sample.u8 = 8;
    sample.i16 = -16;
    sample.u16 = 16;
    sample.i32 = -32;
    sample.u32 = 32;
    sample.i64 = INT64_MIN;
    sample.u64 = UINT64_MAX;
    sample.f32 = 0.1f;
    sample.f64 = 0.2;
    sample.text = "text";
    sample.object["k"] = "v";
    sample.blob = {0, 255};
    sample.numbers = {1, 2};
    sample.flags = {true, false, true};
    sample.point = {3, 4};
    sample.points = {{5, 6}};
    const BindingResult value = ToBinding(sample, registry);
    ASSERT_TRUE(value.success);
    EXPECT_EQ(static_cast<double>(0.1f), value.value.Find("f32").GetFloat());
    EXPECT_EQ("AP8=", value.value.Find("blob").ToString());
    Sample back;
    ASSERT_TRUE(FromBinding(value.value, back, "body", registry).success);
    EXPECT_EQ(sample.i64, back.i64);
    EXPECT_EQ(sample.u64, back.u64);
    EXPECT_EQ(sample.f32, back.f32);
    EXPECT_EQ(sample.blob, back.blob);
    EXPECT_EQ(sample.flags, back.flags);
    EXPECT_EQ(sample.object, back.object);
    EXPECT_EQ(6, back.points[0].y);
    EXPECT_EQ(4, back.point.y);
}

// ---- field flags ---------------------------------------------------------------------------

struct Flagged {
    std::string omitted;
    std::string kept;
    std::int32_t required = 0;
};

TEST(FieldFlagsTest, OmitEmptyLeavesEmptyValuesOut) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Flagged>("Flagged")
        .AddField("omitted", &Flagged::omitted, "", FieldOmitEmpty)
        .AddField("kept", &Flagged::kept)
        .AddField("required", &Flagged::required, "", FieldRequired);
    Flagged record;
    BindingResult value = ToBinding(record, registry);
    ASSERT_TRUE(value.success);
    EXPECT_FALSE(value.value.Contains("omitted"));
    EXPECT_TRUE(value.value.Contains("kept"));
    EXPECT_EQ(BindingKind::String, value.value.Find("kept").Kind());
    record.omitted = "x";
    value = ToBinding(record, registry);
    EXPECT_EQ("x", value.value.Find("omitted").GetString());
}

TEST(FieldFlagsTest, RequiredFieldsMustBePresent) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Flagged>("Flagged")
        .AddField("kept", &Flagged::kept)
        .AddField("required", &Flagged::required, "", FieldRequired);
    Flagged record;
    BindingProperty body;
    body["kept"] = "k";
    EXPECT_EQ(
        "Couldn't assign value to 'input' of type Flagged because the input structure doesn't "
        "have required field 'required'.",
        FromBinding(body, record, "input", registry).ErrorText());
    body["required"] = 1;
    EXPECT_TRUE(FromBinding(body, record, "input", registry).success);
}

TEST_F(NativeConversionTest, ListsOfRecordsWithDifferingShapesAreReadPerElement) {
    BindingProperty points;
    points[0]["x"] = 1;
    points[0]["y"] = 2;
    points[1]["y"] = 3;  // x missing: the default stays
    points[2]["a"] = 0;  // an extra key before x shifts every entry
    points[2]["x"] = 4;
    points[2]["y"] = 5;
    points[3]["x"] = 6;
    points[3]["y"] = 7;
    EXPECT_EQ("", AssignField("points", points));
    ASSERT_EQ(4u, sample.points.size());
    EXPECT_EQ(1, sample.points[0].x);
    EXPECT_EQ(0, sample.points[1].x);
    EXPECT_EQ(3, sample.points[1].y);
    EXPECT_EQ(4, sample.points[2].x);
    EXPECT_EQ(5, sample.points[2].y);
    EXPECT_EQ(7, sample.points[3].y);
}

TEST_F(NativeConversionTest, ListsFromAnotherTreeAreReadByKey) {
    BindingProperty first;
    first["x"] = 1;
    first["y"] = 2;
    BindingProperty points;
    points.Append() = first;  // copied into this tree
    BindingProperty other;
    other["y"] = 9;
    other["x"] = 8;
    points.Append() = other;
    EXPECT_EQ("", AssignField("points", points));
    EXPECT_EQ(8, sample.points[1].x);
    EXPECT_EQ(9, sample.points[1].y);
}

struct Repeated {
    std::int32_t a = 0;
    std::int32_t b = 0;
};

TEST(RepeatedFieldNameTest, TheLaterFieldOfOneNameWinsOnOutput) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Repeated>("Repeated")
        .AddField("v", &Repeated::a)
        .AddField("v", &Repeated::b);
    EXPECT_FALSE(registry.FindTypeByName("Repeated")->fieldNamesUnique);
    const BindingResult value = ToBinding(Repeated{1, 2}, registry);
    ASSERT_TRUE(value.success);
    EXPECT_EQ(1u, value.value.Size());
    EXPECT_EQ(2, value.value.Find("v").GetSigned());
    Repeated back;
    ASSERT_TRUE(FromBinding(value.value, back, "r", registry).success);
    EXPECT_EQ(2, back.a);
    EXPECT_EQ(2, back.b);
}

TEST(OmittedFieldsInListsTest, ElementsAfterAnOmissionKeepAllTheirKeys) {
    BindingTypeRegistry registry;
    registry.RegisterStruct<Flagged>("Flagged")
        .AddField("omitted", &Flagged::omitted, "", FieldOmitEmpty)
        .AddField("kept", &Flagged::kept);
    const std::vector<Flagged> records{{"", "a"}, {"x", "b"}, {"", "c"}};
    const BindingResult value = ToBinding(records, &registry);
    ASSERT_TRUE(value.success);
    EXPECT_FALSE(value.value.At(0).Contains("omitted"));
    EXPECT_EQ("x", value.value.At(1).Find("omitted").GetString());
    EXPECT_FALSE(value.value.At(2).Contains("omitted"));
    EXPECT_EQ("c", value.value.At(2).Find("kept").GetString());
}

// ---- single values -------------------------------------------------------------------------

TEST_F(NativeConversionTest, SingleValuesFollowTheFieldRules) {
    std::uint8_t small = 0;
    EXPECT_EQ("Value 300 for 'f' of type uint8 is out of range",
              FromBinding(BindingProperty("300"), small, "f", &registry).ErrorText());
    EXPECT_EQ("A value for 'f' is required.",
              FromBinding(BindingProperty(), small, "f", &registry).ErrorText());
    EXPECT_EQ("A value for 'c' is required.",
              FromBinding(BindingProperty(), sample.color, "c", &registry).ErrorText());
    BindingProperty held(5);
    ASSERT_TRUE(FromBinding(BindingProperty(), held, "o", &registry).success);
    EXPECT_TRUE(held.IsEmpty());  // an object takes the Empty value as it is
    Color color = Color::Red;
    ASSERT_TRUE(FromBinding(BindingProperty("BLUE"), color, "c", &registry).success);
    EXPECT_EQ(Color::Blue, color);
    const BindingResult list = ToBinding(std::vector<Point>{{1, 2}}, &registry);
    ASSERT_TRUE(list.success);
    EXPECT_EQ(2, list.value.At(0).Find("y").GetSigned());
    EXPECT_EQ(BindingTypeCode::Vector, BindingTypeIdOf<std::vector<Point>>(registry).code);
    EXPECT_EQ(registry.FindTypeByName("Point"), BindingTypeIdOf<std::vector<Point>>(registry).type);
}

}  // namespace
}  // namespace Kolm
