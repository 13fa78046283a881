// The request journal in-process: its byte bound, cut bodies, filters, waits and causes, and the
// journal endpoints' answers over a small journal.
#include "host/serving/request_journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/faults/fault_rule.h"
#include "host/serving/journal_endpoints.h"
#include "host/serving/journal_records.h"

namespace Kolm::Host {
namespace {

JournalEntry Call(std::string service,
                  std::string method,
                  std::string path,
                  std::size_t bodyBytes = 0) {
    JournalEntry entry;
    entry.service = std::move(service);
    entry.method = std::move(method);
    entry.path = std::move(path);
    entry.answerBody.assign(bodyBytes, 'x');
    entry.answerBodyBytes = bodyBytes;
    return entry;
}

std::vector<uint64_t> Ids(const JournalRead& read) {
    std::vector<uint64_t> ids;
    for (const JournalEntry& entry : read.entries) {
        ids.push_back(entry.id);
    }
    return ids;
}

TEST(RequestJournal, DropsTheOldestEntriesPastItsBytesAndCountsThem) {
    const std::size_t one = JournalEntryBytes(Call("clubs", "GET", "/v1/a", 1000));
    RequestJournal journal(3 * one);
    for (int i = 0; i < 5; ++i) {
        journal.Record(Call("clubs", "GET", "/v1/a", 1000));
    }
    const JournalRead read = journal.Read({});
    EXPECT_EQ(Ids(read), (std::vector<uint64_t>{3, 4, 5}));
    EXPECT_EQ(read.dropped, 2u);
    EXPECT_EQ(read.lastId, 5u);
    EXPECT_LE(journal.KeptBytes(), 3 * one);
    journal.Clear();
    EXPECT_EQ(journal.Read({}).dropped, 0u);
    EXPECT_EQ(journal.KeptBytes(), 0u);
}

TEST(RequestJournal, ARecordedCallHasItsPathQueryBodiesAndCause) {
    RequestJournal journal;
    {
        const JournalCauseScope outer("request", "PATCH /zun-clubs/v1/clubs/club-1/motd");
        {
            const JournalCauseScope inner("push", "clubs/v1/clubs/club-1");
            JournalCall call(&journal, "clubs", "GET", "/v1/clubs/club-1?fields=all#top");
            call.Answer(200, "{}", {});
        }
        JournalCall call(&journal, "clubs", "PUT", "/v1/clubs/club-1/motd");
        call.RequestBody(std::string(RequestJournal::kMaxKeptBodyBytes + 10, 'a'));
        call.Answer(0, {}, "the clubs web service did not answer (fault rule)");
        call.FaultRule("3");
    }
    const JournalRead read = journal.Read({});
    ASSERT_EQ(read.entries.size(), 2u);
    const JournalEntry& get = read.entries[0];
    EXPECT_EQ(get.path, "/v1/clubs/club-1");
    EXPECT_EQ(get.query, "fields=all");
    EXPECT_EQ(get.cause.kind, "push");
    EXPECT_EQ(get.cause.label, "clubs/v1/clubs/club-1");
    const JournalEntry& put = read.entries[1];
    EXPECT_EQ(put.cause.kind, "request");
    EXPECT_EQ(put.requestBody.size(), RequestJournal::kMaxKeptBodyBytes);
    EXPECT_EQ(put.requestBodyBytes, RequestJournal::kMaxKeptBodyBytes + 10);
    EXPECT_NE(JournalEntryJson(put, true).find("\"bodiesCut\":true"), std::string::npos);
    EXPECT_NE(JournalEntryJson(put, true).find(
                  "\"error\":\"the clubs web service did not answer (fault rule)\""),
              std::string::npos);
    EXPECT_NE(JournalEntryJson(put, false).find("\"faultRule\":\"3\""), std::string::npos);
    EXPECT_EQ(JournalEntryJson(put, false).find("requestBody\""), std::string::npos);
    EXPECT_EQ(JournalCauseScope::Current().kind, "none");
}

TEST(RequestJournal, TextsThatAreNotUtf8AreWrittenAsReplacementCharacters) {
    JournalEntry entry = Call("clubs", "GET", "/v1/clubs/\xC3");
    entry.query = "name=\xE2\x82";
    entry.answerBody = "ok\xFF\xC3\xA9";
    entry.answerBodyBytes = entry.answerBody.size();
    entry.error = "cut \xF0\x9F\x98";
    entry.cause = {"push", 4, "clubs/v1/clubs/\xC3"};
    EXPECT_EQ(
        JournalEntryJson(entry, true),
        "{\"id\":0,\"service\":\"clubs\",\"method\":\"GET\",\"path\":\"/v1/clubs/\xEF\xBF\xBD\","
        "\"query\":\"name=\xEF\xBF\xBD\xEF\xBF\xBD\",\"status\":0,\"requestBody\":\"\","
        "\"answerBody\":\"ok\xEF\xBF\xBD\xC3\xA9\",\"requestBodyBytes\":0,\"answerBodyBytes\":5,"
        "\"error\":\"cut \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",\"durationMs\":0.000,"
        "\"faultRule\":null,\"cause\":{\"kind\":\"push\",\"id\":4,"
        "\"label\":\"clubs/v1/clubs/\xEF\xBF\xBD\"}}");
}

TEST(RequestJournal, AnEventsEntryLeavesOutTheBodiesAndWhetherTheyWereCut) {
    JournalEntry entry = Call("clubs", "PUT", "/v1/clubs/club-1/motd", 10);
    entry.answerBodyBytes = 20;
    entry.durationMs = 1.23456;
    EXPECT_EQ(JournalEntryJson(entry, false),
              R"({"id":0,"service":"clubs","method":"PUT","path":"/v1/clubs/club-1/motd",)"
              R"("query":"","status":0,"requestBodyBytes":0,"answerBodyBytes":20,)"
              R"("durationMs":1.235,"faultRule":null,"cause":{"kind":"","id":0,"label":""}})");
    EXPECT_NE(JournalEntryJson(entry, true).find(R"("answerBodyBytes":20,"bodiesCut":true,)"),
              std::string::npos);
}

TEST(RequestJournal, FiltersByServiceMethodPathPatternAndSince) {
    RequestJournal journal;
    journal.Record(Call("clubs", "GET", "/v1/clubs/club-1"));
    journal.Record(Call("clubs", "PUT", "/v1/clubs/club-1/motd"));
    journal.Record(Call("summoner", "GET", "/zun-summoner/v1/summoners/2002"));
    journal.Record(Call("clubs", "PUT", "/v1/clubs/club-2/motd"));
    JournalFilter filter;
    filter.service = "clubs";
    EXPECT_EQ(Ids(journal.Read(filter)), (std::vector<uint64_t>{1, 2, 4}));
    filter.method = "PUT";
    filter.pathPattern = PathPatternSegments("/v1/clubs/*/motd");
    EXPECT_EQ(Ids(journal.Read(filter)), (std::vector<uint64_t>{2, 4}));
    filter.since = 2;
    EXPECT_EQ(Ids(journal.Read(filter)), (std::vector<uint64_t>{4}));
    filter = {};
    filter.pathPattern = PathPatternSegments("/v1/clubs/*");
    EXPECT_EQ(Ids(journal.Read(filter)), (std::vector<uint64_t>{1}));
}

TEST(RequestJournal, AWaitEndsAtOnceWhenMetOrWhenTheHostStops) {
    RequestJournal journal;
    journal.Record(Call("clubs", "GET", "/v1/a"));
    JournalFilter clubs;
    clubs.service = "clubs";
    EXPECT_TRUE(journal.Wait(clubs, 1, std::chrono::minutes(1)).complete);
    journal.EndWaits();
    const JournalRead cut = journal.Wait(clubs, 2, std::chrono::minutes(1));
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(Ids(cut), (std::vector<uint64_t>{1}));
}

TEST(RequestJournal, TheObserverHearsEachEntryAndEachClear) {
    std::vector<std::string> heard;
    RequestJournal journal(RequestJournal::kDefaultMaxBytes, [&](const JournalEntry* entry) {
        heard.push_back(entry != nullptr ? JournalEventJson(entry) : JournalEventUri(entry));
    });
    journal.Record(Call("chat", "GET", "/zun-chat/v1/me"));
    journal.Clear();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0],
              R"({"data":{"id":1,"service":"chat","method":"GET","path":"/zun-chat/v1/me",)"
              R"("query":"","status":0,"requestBodyBytes":0,"answerBodyBytes":0,)"
              R"("durationMs":0.000,"faultRule":null,"cause":{"kind":"","id":0,"label":""}},)"
              R"("eventType":"Create","uri":"/zun-clubs-host/v1/requests/1"})");
    EXPECT_EQ(heard[1], "/zun-clubs-host/v1/requests");
}

TEST(JournalEndpoints, AReadSaysHowManyEntriesWereDroppedForRoom) {
    RequestJournal journal(2 * JournalEntryBytes(Call("clubs", "GET", "/v1/a")));
    for (int i = 0; i < 3; ++i) {
        journal.Record(Call("clubs", "GET", "/v1/a"));
    }
    HttpRequest request;
    request.method = "GET";
    request.target = "/zun-clubs-host/v1/requests?service=clubs";
    const HttpResponse read = HandleJournalRequest(request, "", journal);
    EXPECT_EQ(read.status, 200);
    EXPECT_EQ(read.body.substr(0, 40), R"({"dropped":1,"lastId":3,"entries":[{"id")");
    request.target = "/zun-clubs-host/v1/requests/wait?service=chat&timeoutMs=0";
    const HttpResponse waited = HandleJournalRequest(request, "/wait", journal);
    EXPECT_EQ(waited.status, 408);
    EXPECT_EQ(waited.body, R"({"error":"0 of the 1 calls waited for were made within 0 ms",)"
                           R"("dropped":1,"lastId":3,"entries":[]})");
}

}  // namespace
}  // namespace Kolm::Host
