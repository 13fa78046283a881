#include "host/documents/record_schema.h"

#include <gtest/gtest.h>

#include "tests/host/documents/sample_records.h"

namespace Kolm::Host {
namespace {

using Testing::Sample;

TEST(RecordSchema, ANamedRecordAndTheNamedRecordsWithinItBecomeComponentsOnce) {
    const SchemaEntries components = SchemaComponents<Sample>();
    ASSERT_EQ(components.size(), 2u);
    EXPECT_EQ(components[0].first, "Sample");
    EXPECT_EQ(components[1].first, "SampleItem");
    EXPECT_EQ(components[1].second,
              R"({"type":"object","additionalProperties":false,"properties":{)"
              R"("id":{"type":"integer","format":"int64","minimum":0},)"
              R"("label":{"type":"string"}},"required":["id"]})");
}

TEST(RecordSchema, EveryRuleOfAFieldIsInItsSchema) {
    const std::string sample = SchemaComponents<Sample>()[0].second;
    EXPECT_EQ(sample,
              R"({"type":"object","description":"A record of every kind of field",)"
              R"("additionalProperties":false,"properties":{)"
              R"("id":{"type":"string","readOnly":true},)"
              R"("name":{"type":"string","description":"what it is called"},)"
              R"("waitMs":{"type":"integer","format":"int64","minimum":0,"maximum":60000},)"
              R"("at":{"type":"integer","format":"int64"},)"
              R"("frozen":{"type":"boolean","default":false},)"
              R"("share":{"type":"number","minimum":0.0,"maximum":1.0,"default":1.0},)"
              R"("kind":{"type":"string","enum":["plain","fancy"],"default":"plain"},)"
              R"("path":{"type":"string"},)"
              R"("items":{"type":"array","items":{"$ref":"#/components/schemas/SampleItem"},)"
              R"("maxItems":3},)"
              R"("note":{"type":"string"},)"
              R"("owner":{"type":"integer","format":"int64","minimum":0,"nullable":true},)"
              R"("extra":{},)"
              R"("limits":{"type":"object","additionalProperties":false,"properties":{)"
              R"("most":{"type":"integer","format":"int32","default":10},)"
              R"("unit":{"type":"string","default":"each"}}}},)"
              R"("required":["name"]})");
}

TEST(RecordSchema, AnInlineSchemaStillGathersTheComponentsItRefersTo) {
    SchemaEntries components;
    EXPECT_EQ(SchemaOf<std::vector<Sample>>(components, Rules().Min(1)),
              R"({"type":"array","items":{"$ref":"#/components/schemas/Sample"},"minItems":1})");
    EXPECT_EQ(components.size(), 2u);
    SchemaOf<Sample>(components);
    EXPECT_EQ(components.size(), 2u);  // already there
}

}  // namespace
}  // namespace Kolm::Host
