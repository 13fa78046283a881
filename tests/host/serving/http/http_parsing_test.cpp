// The host's request-head parser, Host check and query decoding, in-process.
#include <gtest/gtest.h>

#include <tuple>

#include "host/serving/http/http_message.h"
#include "host/serving/http/http_request_parser.h"

namespace Kolm::Host {
namespace {

HeadParseResult Parse(const std::string& head) {
    return ParseRequestHead(head, HttpLimits{});
}

TEST(RequestHeadParsing, KeepsTheTargetAsSent) {
    const HeadParseResult result = Parse(
        "GET /zun-clubs/v1/clubs/a%2Fb?x=%41+1 HTTP/1.1\r\nHost: localhost\r\nX-A:  v \r\n\r\n");
    ASSERT_TRUE(result.head) << result.error;
    EXPECT_EQ(result.head->request.target, "/zun-clubs/v1/clubs/a%2Fb?x=%41+1");
    EXPECT_EQ(result.head->request.Path(), "/zun-clubs/v1/clubs/a%2Fb");
    EXPECT_EQ(result.head->request.Query(), "x=%41+1");
    EXPECT_EQ(result.head->request.Header("x-a"), "v");
}

TEST(RequestHeadParsing, RefusesWhatAWellBehavedClientDoesNotSend) {
    struct Case {
        std::string head;
        int status;
        std::string error;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", 400, "HTTP/1.1 request without Host"},
        {"GET /a b HTTP/1.1\r\nHost: x\r\n\r\n", 400, "malformed request target"},
        {"GET * HTTP/1.1\r\nHost: x\r\n\r\n", 400, "malformed request target"},
        {"G(T / HTTP/1.1\r\nHost: x\r\n\r\n", 400, "malformed request method"},
        {"GET / HTTP/3\r\nHost: x\r\n\r\n", 505, "only HTTP/1.0 and HTTP/1.1"},
        {"GET / FTP/1.1\r\nHost: x\r\n\r\n", 400, "malformed HTTP version"},
        {"GET / HTTP/1.1\r\nHost : x\r\n\r\n", 400, "malformed header field"},
        {"GET / HTTP/1.1\r\nHost: x\r\nA: b\x01\r\n\r\n", 400, "malformed header field value"},
        {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n", 400,
         "malformed Content-Length"},
        {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\ncontent-length: 3\r\n\r\n", 400,
         "malformed Content-Length"},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip\r\n\r\n", 501,
         "transfer codings are not supported: send a Content-Length"},
        {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 1048577\r\n\r\n", 413,
         "request body larger than 1048576 bytes"},
        {"GET / HTTP/1.1\r\nHost: localhost\r\nHost: example.com\r\n\r\n", 400,
         "more than one Host header"},
        {"GET / HTTP/1.0\r\nhost: localhost\r\nX: y\r\nHOST: localhost\r\n\r\n", 400,
         "more than one Host header"},
    };
    for (const Case& c : cases) {
        const HeadParseResult result = Parse(c.head);
        EXPECT_FALSE(result.head) << c.head;
        EXPECT_EQ(result.status, c.status) << c.head;
        EXPECT_EQ(result.error, c.error) << c.head;
    }
}

TEST(RequestHeadParsing, TheBodyLimitIsChosenFromTheHead) {
    HttpLimits limits;
    limits.bodyLimit = [](const HttpRequest& head) -> std::size_t {
        return head.method == "PUT" && head.Path() == "/big" ? 5000000 : 10;
    };
    const auto parse = [&](const std::string& line, std::size_t length) {
        return ParseRequestHead(
            line + " HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n",
            limits);
    };
    const HeadParseResult big = parse("PUT /big?x=1", 5000000);
    ASSERT_TRUE(big.head) << big.error;
    EXPECT_EQ(big.head->contentLength, 5000000u);
    EXPECT_TRUE(parse("POST /small", 10).head);
    for (const auto& [line, length, error] :
         {std::tuple{"PUT /big", 5000001, "request body larger than 5000000 bytes"},
          std::tuple{"POST /big", 11, "request body larger than 10 bytes"},
          std::tuple{"PUT /big/x", 11, "request body larger than 10 bytes"}}) {
        const HeadParseResult refused = parse(line, length);
        EXPECT_FALSE(refused.head) << line;
        EXPECT_EQ(refused.status, 413) << line;
        EXPECT_EQ(refused.error, error) << line;
    }
}

TEST(RequestHeadParsing, FindsTheEndOfTheHeadWithEitherLineEnd) {
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.1\r\nHost: x\r\n\r\nbody"), 27u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.1\nHost: x\n\nbody"), 24u);
    EXPECT_FALSE(FindHeadEnd("GET / HTTP/1.1\r\nHost: x\r\n"));
    const HeadParseResult bare =
        Parse("POST / HTTP/1.0\nContent-Length: 4\nExpect: 100-continue\n\n");
    ASSERT_TRUE(bare.head) << bare.error;
    EXPECT_EQ(bare.head->contentLength, 4u);
    EXPECT_TRUE(bare.head->expectContinue);
}

TEST(LoopbackHostCheck, AcceptsOnlyNamesOfTheLoopbackInterface) {
    for (const char* host : {"localhost", "LocalHost:8137", "127.0.0.1", "127.0.0.1:1", "127.1.2.3",
                             "[::1]", "[::1]:8137"}) {
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    }
    for (const char* host :
         {"", "example.com", "127.0.0.1.example.com", "localhost.example", "127.0.0.256", "127.0.0",
          "127.0.0.1:x", "[::2]", "[::1", "10.0.0.1", "localhost:80:80", "0x7f.0.0.1"}) {
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    }
}

TEST(QueryDecoding, DecodesEscapesAndBlanksAndKeepsBrokenEscapes) {
    EXPECT_EQ(PercentDecode("a%2Fb+c"), "a/b c");
    EXPECT_EQ(PercentDecode("%"), "%");
    EXPECT_EQ(PercentDecode("%4"), "%4");
    EXPECT_EQ(PercentDecode("%zz%41"), "%zzA");
    EXPECT_EQ(PercentDecodePath("/a+b/%41"), "/a+b/A");
    const auto pairs = ParseQuery("event=A&&uri=%2Fzun&flag");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>{"uri", "/zun"}));
    EXPECT_EQ(pairs[2], (std::pair<std::string, std::string>{"flag", ""}));
}

}  // namespace
}  // namespace Kolm::Host
