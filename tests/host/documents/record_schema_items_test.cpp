// A list of texts with choices: the schema shows the choices on each item, as the reader asks
// them of each item, and keeps the list's own description and bounds on the list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "host/documents/record_reader.h"
#include "host/documents/record_schema.h"

namespace Kolm::Host {
namespace {

struct Chores {
    std::vector<std::string> done;
};

constexpr const char* kChores[] = {"dishes", "laundry"};

}  // namespace

template <>
struct RecordMap<Chores> {
    template <class Io>
    static void Map(Io& io, Chores& chores) {
        io.Required("done", chores.done,
                    Rules().Describe("what was done").Range(1, 2).Choices(kChores));
    }
};

namespace {

TEST(RecordSchemaItems, AListOfChoicesShowsTheChoicesOnEachItemAndItsBoundsOnTheList) {
    SchemaEntries components;
    EXPECT_EQ(SchemaOf<Chores>(components),
              R"({"type":"object","additionalProperties":false,"properties":{"done":)"
              R"({"type":"array","items":{"type":"string","enum":["dishes","laundry"]},)"
              R"("minItems":1,"maxItems":2,"description":"what was done"}},"required":["done"]})");
    EXPECT_TRUE(components.empty());
}

TEST(RecordSchemaItems, TheReaderRefusesAnItemTheSchemaDoesNotList) {
    const auto read = [](const char* text) {
        rapidjson::Document json;
        json.Parse(text);
        Chores chores;
        return ReadDocument(json, chores, FieldNaming::Quoted, "the body");
    };
    EXPECT_EQ(read(R"({"done":["laundry","dishes"]})"), "");
    EXPECT_EQ(read(R"({"done":["dishes","ironing"]})"),
              "\"done[1]\" must be one of dishes or laundry");
    EXPECT_EQ(read(R"({"done":[]})"), "\"done\" must be an array of 1 to 2 items");
}

}  // namespace
}  // namespace Kolm::Host
