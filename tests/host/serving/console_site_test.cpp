// The console's file serving: media types, cache validation, the redirects that lead a browser
// to the page, and the embedded table itself.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "host/serving/console_site.h"

namespace Kolm::Host {
namespace {

constexpr EmbeddedFile kFiles[] = {
    {"index.html", "<!doctype html>", "abc123"},
    {"js/app.js", "export {};", "def456"},
};

HttpRequest Get(std::string target, std::vector<std::pair<std::string, std::string>> headers = {}) {
    HttpRequest request;
    request.method = "GET";
    request.target = std::move(target);
    request.version = "HTTP/1.1";
    request.headers = std::move(headers);
    return request;
}

std::string HeaderOf(const HttpResponse& response, const std::string& name) {
    for (const auto& [key, value] : response.headers) {
        if (EqualsIgnoringCase(key, name)) {
            return value;
        }
    }
    return "";
}

TEST(ConsoleSite, ServesAFileWithItsTypeTagAndNoSniffing) {
    const auto response = ServeConsole(Get("/zun-clubs-host/console/js/app.js"), kFiles);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->contentType, "text/javascript; charset=utf-8");
    EXPECT_EQ(response->body, "export {};");
    EXPECT_EQ(HeaderOf(*response, "ETag"), "\"def456\"");
    EXPECT_EQ(HeaderOf(*response, "X-Content-Type-Options"), "nosniff");
    EXPECT_NE(HeaderOf(*response, "Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);
}

TEST(ConsoleSite, TheFolderItselfIsTheIndexPage) {
    const auto response = ServeConsole(Get("/zun-clubs-host/console/?fresh=1"), kFiles);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->contentType, "text/html; charset=utf-8");
    EXPECT_EQ(response->body, "<!doctype html>");
}

TEST(ConsoleSite, AMatchingIfNoneMatchGetsNotModifiedWithoutBody) {
    for (const char* header : {"\"def456\"", "W/\"def456\"", "\"old\", \"def456\"", "*"}) {
        const auto response = ServeConsole(
            Get("/zun-clubs-host/console/js/app.js", {{"if-none-match", header}}), kFiles);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 304) << header;
        EXPECT_TRUE(response->body.empty());
        EXPECT_EQ(HeaderOf(*response, "ETag"), "\"def456\"");
    }
    const auto stale = ServeConsole(
        Get("/zun-clubs-host/console/js/app.js", {{"If-None-Match", "\"def4\""}}), kFiles);
    EXPECT_EQ(stale->status, 200);
}

TEST(ConsoleSite, LeadsABrowserFromTheRootAndFromTheBareFolderName) {
    const auto root = ServeConsole(Get("/", {{"Accept", "text/html,*/*"}}), kFiles);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 302);
    EXPECT_EQ(HeaderOf(*root, "Location"), "/zun-clubs-host/console/");
    const auto bare = ServeConsole(Get("/zun-clubs-host/console"), kFiles);
    ASSERT_TRUE(bare);
    EXPECT_EQ(HeaderOf(*bare, "Location"), "/zun-clubs-host/console/");
    // A script asking for JSON keeps the host's index at the root.
    EXPECT_FALSE(ServeConsole(Get("/", {{"Accept", "application/json"}}), kFiles));
    EXPECT_FALSE(ServeConsole(Get("/"), kFiles));
}

TEST(ConsoleSite, RefusesUnknownFilesAndWritesAndLeavesOtherPathsAlone) {
    EXPECT_EQ(ServeConsole(Get("/zun-clubs-host/console/missing.js"), kFiles)->status, 404);
    EXPECT_EQ(ServeConsole(Get("/zun-clubs-host/console/../index.html"), kFiles)->status, 404);
    HttpRequest post = Get("/zun-clubs-host/console/index.html");
    post.method = "POST";
    const auto refused = ServeConsole(post, kFiles);
    EXPECT_EQ(refused->status, 405);
    EXPECT_EQ(HeaderOf(*refused, "Allow"), "GET, HEAD");
    EXPECT_FALSE(ServeConsole(Get("/zun-clubs-host/v1/events"), kFiles));
    EXPECT_FALSE(ServeConsole(Get("/zun-clubs-host/consoles"), kFiles));
}

TEST(ConsoleSite, MediaTypesFollowTheExtension) {
    EXPECT_EQ(MediaTypeOf("console.css"), "text/css; charset=utf-8");
    EXPECT_EQ(MediaTypeOf("icon.svg"), "image/svg+xml");
    EXPECT_EQ(MediaTypeOf("notes"), "application/octet-stream");
}

// The build embeds the folder as it is: every file the page names is in the table, with the
// digest of its bytes.
TEST(ConsoleSite, TheEmbeddedTableHoldsEveryFileThePageNames) {
    const auto index = ServeConsole(Get("/zun-clubs-host/console/"));
    ASSERT_TRUE(index);
    ASSERT_EQ(index->status, 200);
    const std::regex reference(R"re((?:src|href)="([^"#:]+)")re");
    int references = 0;
    for (std::sregex_iterator it(index->body.begin(), index->body.end(), reference), end; it != end;
         ++it) {
        ++references;
        const auto file = ServeConsole(Get("/zun-clubs-host/console/" + (*it)[1].str()));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->status, 200) << (*it)[1];
    }
    EXPECT_GE(references, 3);
    for (const EmbeddedFile& file : ConsoleFiles()) {
        EXPECT_EQ(file.sha256.size(), 64u) << file.path;
        EXPECT_FALSE(file.bytes.empty()) << file.path;
    }
}

}  // namespace
}  // namespace Kolm::Host
