#include "host/documents/record_reader.h"

#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include "tests/host/documents/sample_records.h"

namespace Kolm::Host {
namespace {

using Testing::Sample;
using Testing::SampleItem;

struct Read {
    Sample sample;
    std::string error;
};

Read ReadSample(const std::string& json, FieldNaming naming = FieldNaming::Path) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    EXPECT_FALSE(document.HasParseError()) << json;
    Read read;
    read.error = ReadDocument(document, read.sample, naming, "the sample");
    return read;
}

TEST(RecordReader, ReadsEveryKindOfFieldAndGivesAbsentOnesTheirDefaults) {
    const Read read = ReadSample(
        R"({"name":"n","waitMs":60000,"at":-5,"frozen":true,"share":0.25,"kind":"fancy",)"
        R"("path":"/a","items":[{"id":1,"label":"x"},{"id":2}],"note":"hi","owner":null,)"
        R"("extra":{"any":[1,"two"]},"limits":{"most":3}})");
    ASSERT_EQ(read.error, "");
    const Sample& sample = read.sample;
    EXPECT_EQ(sample.name, "n");
    EXPECT_EQ(sample.waitMs, 60000u);
    EXPECT_EQ(sample.at, -5);
    EXPECT_TRUE(sample.frozen);
    EXPECT_EQ(sample.share, 0.25);
    EXPECT_EQ(sample.kind, "fancy");
    EXPECT_EQ(sample.items, (std::vector<SampleItem>{{1, "x"}, {2, ""}}));
    EXPECT_EQ(sample.note, "hi");
    ASSERT_TRUE(sample.owner.has_value());
    EXPECT_FALSE(sample.owner->value.has_value());
    EXPECT_EQ(sample.extra->json, R"({"any":[1,"two"]})");
    EXPECT_EQ(sample.limits.most, 3);
    EXPECT_EQ(sample.limits.unit, "each");  // absent within a given record: its default

    const Read bare = ReadSample(R"({"name":"n"})");
    ASSERT_EQ(bare.error, "");
    EXPECT_EQ(bare.sample.share, 1.0);
    EXPECT_EQ(bare.sample.kind, "plain");
    EXPECT_FALSE(bare.sample.note.has_value());
    EXPECT_FALSE(bare.sample.owner.has_value());
    // A record left out whole holds what it would hold had it been given empty.
    EXPECT_EQ(bare.sample.limits, (Testing::SampleLimits{10, "each"}));
}

TEST(RecordReader, AReadOnlyFieldIsIgnoredWhenGiven) {
    const Read read = ReadSample(R"({"id":"7","name":"n"})");
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.sample.id, "");
}

TEST(RecordReader, DocumentsNameTheFirstProblemByItsPath) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"([1])", "the sample: must be an object"},
        {R"({})", "name: is missing"},
        {R"({"name":"n","colour":1})", "colour: is not a field of a sample"},
        {R"({"name":"n","name":"m"})", "name: is given twice"},
        {R"({"name":5})", "name: must be a text"},
        {R"({"name":"n","frozen":1})", "frozen: must be true or false"},
        {R"({"name":"n","waitMs":60001})",
         "waitMs: must be a whole number of milliseconds from 0 to 60000"},
        {R"({"name":"n","waitMs":-1})",
         "waitMs: must be a whole number of milliseconds from 0 to 60000"},
        {R"({"name":"n","waitMs":1.5})",
         "waitMs: must be a whole number of milliseconds from 0 to 60000"},
        {R"({"name":"n","at":9223372036854775808})", "at: must be a whole number"},
        {R"({"name":"n","share":1.5})", "share: must be a number from 0 to 1"},
        {R"({"name":"n","share":"half"})", "share: must be a number from 0 to 1"},
        {R"({"name":"n","kind":"odd"})", "kind: must be one of plain or fancy"},
        {R"({"name":"n","path":"a"})", "path: must start with \"/\""},
        {R"({"name":"n","items":{}})", "items: must be an array of at most 3 items"},
        {R"({"name":"n","items":[{},{},{},{}]})", "items: must be an array of at most 3 items"},
        {R"({"name":"n","items":[{"id":1},{"label":"x"}]})", "items[1].id: is missing"},
        {R"({"name":"n","items":[{"id":1},{"id":-2}]})",
         "items[1].id: must be a whole number of at least 0"},
        {R"({"name":"n","items":[{"id":1,"label":"dup"}]})", "items[0].label: must not be \"dup\""},
        {R"({"name":"n","items":[{"id":99}]})", "items[0]: an item may not have id 99"},
        {R"({"name":"n","items":[7]})", "items[0]: must be an object"},
        {R"({"name":"n","owner":"me"})", "owner: must be a whole number of at least 0"},
        {R"({"name":"n","limits":{"most":2147483648}})", "limits.most: must be a whole number"},
        {R"({"name":"n","limits":{"least":1}})", "limits.least: is not a field of this record"},
        // The first problem met is the one told, however many follow it.
        {R"({"name":1,"frozen":1,"colour":2})", "colour: is not a field of a sample"},
        {R"({"name":1,"frozen":1})", "name: must be a text"},
    };
    for (const auto& bad : cases) {
        EXPECT_EQ(ReadSample(bad.json).error, bad.error) << bad.json;
    }
}

TEST(RecordReader, RequestBodiesQuoteTheFieldAndSayWhatARequiredOneMustBe) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"({})", "\"name\" is required: a text"},
        {R"({"name":"n","waitMs":"soon"})",
         "\"waitMs\" must be a whole number of milliseconds from 0 to 60000"},
        {R"({"name":"n","colour":1})",
         "unknown field \"colour\"; a sample takes \"id\", \"name\", \"waitMs\", \"at\", "
         "\"frozen\", \"share\", \"kind\", \"path\", \"items\", \"note\", \"owner\", \"extra\" "
         "and \"limits\""},
        {R"({"name":"n","items":[{"id":1,"label":"dup"}]})",
         "\"items[0].label\" must not be \"dup\""},
        {R"({"name":"n","frozen":true,"frozen":false})", "\"frozen\" is given twice"},
    };
    for (const auto& bad : cases) {
        EXPECT_EQ(ReadSample(bad.json, FieldNaming::Quoted).error, bad.error) << bad.json;
    }
}

TEST(RecordReader, AFailedReadLeavesTheFieldsAfterTheProblemUntouched) {
    const Read read = ReadSample(R"({"name":"n","at":"x","note":"later"})");
    EXPECT_EQ(read.error, "at: must be a whole number");
    EXPECT_EQ(read.sample.name, "n");
    EXPECT_FALSE(read.sample.note.has_value());
}

}  // namespace
}  // namespace Kolm::Host
