#include "api/route_table.h"

#include <gtest/gtest.h>

#include <random>

#include "api/http_method.h"

namespace Kolm {
namespace {

constexpr uint32_t kGet = static_cast<uint32_t>(HttpMethod::Get);
constexpr uint32_t kPost = static_cast<uint32_t>(HttpMethod::Post);
constexpr uint32_t kOther = static_cast<uint32_t>(HttpMethod::Other);

// Routes keyed by a fake endpoint address so a test can tell which one matched.
class RoutesTest : public ::testing::Test {
  protected:
    const Endpoint* Add(std::string_view pathTemplate,
                        uint32_t method = kGet,
                        std::string_view methodName = "") {
        const Endpoint* id = reinterpret_cast<const Endpoint*>(routes_.size() + 1);
        routes_.push_back(BuildRoute(method, methodName, pathTemplate, id));
        return id;
    }

    bool Match(std::string_view path,
               uint32_t method = kGet,
               std::string_view methodName = "",
               bool ignoreMethod = false) {
        std::vector<const Route*> list;
        for (const Route& route : routes_) {
            list.push_back(&route);
        }
        match_ = RouteMatch{};
        return MatchRoutes(method, methodName, path, list, ignoreMethod, match_);
    }

    std::vector<Route> routes_;
    RouteMatch match_;
};

TEST_F(RoutesTest, LiteralTemplateMatchesTheWholePathOnly) {
    const Endpoint* clubs = Add("/zun-clubs/v1/clubs");
    EXPECT_TRUE(Match("/zun-clubs/v1/clubs"));
    EXPECT_EQ(match_.endpoint, clubs);
    EXPECT_TRUE(match_.captures.empty());
    EXPECT_FALSE(Match("/zun-clubs/v1/clubs/"));
    EXPECT_FALSE(Match("/zun-clubs/v1/clubs?x=1"));
    EXPECT_FALSE(Match("/zun-clubs/v1/club"));
}

TEST_F(RoutesTest, PlainPlaceholderTakesOneSegment) {
    Add("/x/{y}");
    EXPECT_TRUE(Match("/x/p"));
    EXPECT_EQ(match_.captures, (std::map<std::string, std::string>{{"y", "p"}}));
    EXPECT_FALSE(Match("/x/p/q"));
    EXPECT_TRUE(Match("/x/"));
    EXPECT_EQ(match_.captures.at("y"), "");
}

TEST_F(RoutesTest, ReservedPlaceholderTakesTheRest) {
    Add("/x/{+rest}");
    EXPECT_TRUE(Match("/x/p/q/r"));
    EXPECT_EQ(match_.captures.at("rest"), "p/q/r");
    EXPECT_FALSE(Match("/x/p\nq"));
}

TEST_F(RoutesTest, CapturesAreDecoded) {
    Add("/x/{id}");
    EXPECT_TRUE(Match("/x/a%2Fb+c"));
    EXPECT_EQ(match_.captures.at("id"), "a/b c");
}

TEST_F(RoutesTest, TrailingPlaceholderCapturesTheQuery) {
    Add("/x/{id}");
    EXPECT_TRUE(Match("/x/7?full=1"));
    EXPECT_EQ(match_.captures.at("id"), "7?full=1");
}

TEST_F(RoutesTest, ShorterCapturesWin) {
    const Endpoint* one = Add("/x/{id}");
    Add("/x/{id}/{sub}");
    EXPECT_TRUE(Match("/x/1"));
    EXPECT_EQ(match_.endpoint, one);
    const Endpoint* wide = Add("/y/{+all}");
    const Endpoint* narrow = Add("/y/a{rest}");
    EXPECT_TRUE(Match("/y/abc"));
    EXPECT_EQ(match_.endpoint, narrow);
    EXPECT_EQ(match_.captures.at("rest"), "bc");
    EXPECT_TRUE(Match("/y/b"));
    EXPECT_EQ(match_.endpoint, wide);
}

TEST_F(RoutesTest, EqualCaptureLengthsKeepTheEarlierRoute) {
    const Endpoint* first = Add("/x/{a}");
    Add("/x/{b}");
    EXPECT_TRUE(Match("/x/q"));
    EXPECT_EQ(match_.endpoint, first);
    EXPECT_EQ(match_.captures, (std::map<std::string, std::string>{{"a", "q"}}));
}

TEST_F(RoutesTest, LiteralRouteWinsOverEarlierTemplate) {
    Add("/x/{id}");
    const Endpoint* me = Add("/x/me");
    const Endpoint* empty = Add("/x/");
    EXPECT_TRUE(Match("/x/me"));
    EXPECT_EQ(match_.endpoint, me);
    EXPECT_TRUE(match_.captures.empty());
    EXPECT_TRUE(Match("/x/"));
    EXPECT_EQ(match_.endpoint, empty);
}

TEST_F(RoutesTest, MethodMustAgreeUnlessIgnored) {
    const Endpoint* get = Add("/x/{id}", kGet);
    EXPECT_FALSE(Match("/x/1", kPost));
    EXPECT_TRUE(Match("/x/1", kPost, "", true));
    EXPECT_EQ(match_.endpoint, get);
    EXPECT_EQ(match_.methodCode, kGet);
    const Endpoint* any = Add("/any", 0);
    EXPECT_TRUE(Match("/any", kPost));
    EXPECT_EQ(match_.endpoint, any);
}

TEST_F(RoutesTest, OtherMethodsCompareTheirNames) {
    Add("/x", kOther, "PURGE");
    EXPECT_TRUE(Match("/x", kOther, "PURGE"));
    EXPECT_FALSE(Match("/x", kOther, "LINK"));
    EXPECT_FALSE(Match("/x", kGet, "PURGE"));
}

TEST_F(RoutesTest, UnclosedPlaceholderMatchesTheLiteralBeforeIt) {
    Add("/a/{b");
    EXPECT_TRUE(Match("/a/"));
    EXPECT_FALSE(Match("/a/{b"));
}

// The backtracking matcher must agree with the compiled expression on every template and path;
// random templates over the characters that matter exercise groups, escapes and line ends.
TEST(PathMatcherTest, AgreesWithTheCompiledExpression) {
    const std::string templateChars = "/ab.{}+#?%\n";
    const std::string pathChars = "/ab.#?%+\n\r";
    std::mt19937 random(20261208);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string pathTemplate = "/";
        size_t templateLength = random() % 10;
        for (size_t i = 0; i < templateLength; ++i) {
            pathTemplate += templateChars[random() % templateChars.size()];
        }
        PathMatcher matcher(pathTemplate);
        for (int p = 0; p < 20; ++p) {
            std::string path = "/";
            size_t pathLength = random() % 10;
            for (size_t i = 0; i < pathLength; ++i) {
                path += pathChars[random() % pathChars.size()];
            }
            std::vector<std::string_view> fast;
            std::vector<std::string_view> reference;
            bool fastMatched = matcher.Match(path, fast);
            bool referenceMatched = matcher.MatchWithExpression(path, reference);
            ASSERT_EQ(fastMatched, referenceMatched) << pathTemplate << " on " << path;
            ASSERT_EQ(fast, reference) << pathTemplate << " on " << path;
            compared += fastMatched ? 1 : 0;
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(PathMatcherTest, ManyGroupsOnALongMissStayFast) {
    PathMatcher matcher("/{+a}{+b}{+c}{+d}{+e}{+f}x");
    std::vector<std::string_view> captures;
    EXPECT_FALSE(matcher.Match("/" + std::string(1000, 'y'), captures));
    EXPECT_TRUE(captures.empty());
}

}  // namespace
}  // namespace Kolm
