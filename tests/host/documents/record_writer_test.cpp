#include "host/documents/record_writer.h"

#include <gtest/gtest.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/documents/record_reader.h"
#include "tests/host/documents/sample_records.h"

namespace Kolm::Host {
namespace {

using Testing::Sample;

std::string Written(const Sample& sample) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    WriteValue(w, sample);
    return std::string(buffer.GetString(), buffer.GetSize());
}

TEST(RecordWriter, WritesTheFieldsInTheOrderTheyAreDescribedAndLeavesOutWhatIsNotThere) {
    Sample sample;
    sample.name = "n";
    sample.share = 1;
    sample.kind = "plain";
    EXPECT_EQ(Written(sample),
              R"({"id":"","name":"n","waitMs":0,"at":0,"share":1.0,"kind":"plain","path":"",)"
              R"("items":[],"limits":{"most":0,"unit":""}})");
}

TEST(RecordWriter, WritesNullsRawJsonAndAFlagThatDiffersFromItsDefault) {
    Sample sample;
    sample.frozen = true;
    sample.items = {{1, "x"}};
    sample.note = "hi";
    sample.owner = Nullable<uint64_t>{};
    sample.extra = RawJson{R"({"a":[1,2]})"};
    EXPECT_EQ(Written(sample),
              R"({"id":"","name":"","waitMs":0,"at":0,"frozen":true,"share":0.0,"kind":"",)"
              R"("path":"","items":[{"id":1,"label":"x"}],"note":"hi","owner":null,)"
              R"("extra":{"a":[1,2]},"limits":{"most":0,"unit":""}})");
    sample.extra = RawJson{};  // never read, so nothing to give back but a valid null
    EXPECT_NE(Written(sample).find(R"("extra":null)"), std::string::npos);
}

TEST(RecordWriter, WhatIsWrittenReadsBackAsTheSameRecord) {
    Sample sample;
    sample.name = "Ünïcode \"quoted\"";
    sample.waitMs = 60000;
    sample.at = INT64_MIN;
    sample.frozen = true;
    sample.share = 0.1;
    sample.kind = "fancy";
    sample.path = "/x";
    sample.items = {{UINT64_MAX, "top"}, {2, ""}};
    sample.note = "";
    sample.owner = Nullable<uint64_t>{42};
    sample.extra = RawJson{R"([null,true,{"k":"v"}])"};
    sample.limits = {-3, "all"};
    const std::string text = Written(sample);
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    Sample read;
    ASSERT_EQ(ReadDocument(document, read, FieldNaming::Path, "the sample"), "") << text;
    EXPECT_EQ(read, sample) << text;
}

}  // namespace
}  // namespace Kolm::Host
