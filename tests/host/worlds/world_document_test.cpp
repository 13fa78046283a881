// The world document: the shipped worlds read, written and read again unchanged, and bad
// documents refused with a message that names what is wrong and where.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "host/worlds/default_world.h"
#include "host/worlds/world_document.h"

namespace Kolm::Host {
namespace {

std::string ReadShipped(const std::string& name) {
    std::ifstream file(std::string(ZC_WORLDS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

World MustParse(std::string_view text, WorldFormat format = WorldFormat::Json) {
    WorldParse parsed = ParseWorld(text, format);
    EXPECT_TRUE(parsed.world.has_value()) << parsed.error;
    return parsed.world.value_or(World{});
}

// The smallest world the service accepts: one player owning one club.
constexpr const char* kMinimal =
    R"({"players":[{"accountId":7,"summonerId":8}],)"
    R"("clubs":[{"key":"k","name":"Seven","active":[{"accountId":7,"role":"OWNER"}]}]})";

TEST(WorldDocument, BuiltInDefaultIsTheShippedDefaultFile) {
    EXPECT_EQ(DefaultWorldJson(), ReadShipped("default.json"));
}

TEST(WorldDocument, DefaultWorldHoldsTheSeedAndWritesBackToTheSameText) {
    const std::string text = ReadShipped("default.json");
    const World world = MustParse(text);
    EXPECT_EQ(world.service.players.size(), 5u);
    ASSERT_EQ(world.loggedInAccountId, std::optional<uint64_t>(1001));
    EXPECT_EQ(world.profiles.at(1001).name, "Fenwick");
    const ServiceClub& owls = world.service.clubs.at("club-1");
    EXPECT_EQ(owls.name, "Night Owls");
    EXPECT_EQ(owls.motd, "Raid night is Thursday.");
    EXPECT_EQ(RoleIn(owls, 1001), "OWNER");
    EXPECT_EQ(RoleIn(world.service.clubs.at("club-2"), 1001), "INVITEE");
    EXPECT_EQ(WriteWorld(world), text);
}

TEST(WorldDocument, YamlWorldReadsLikeItsJsonAndRoundTrips) {
    const World world = MustParse(ReadShipped("full-house.yaml"), WorldFormat::Yaml);
    EXPECT_EQ(world.service.config.limits.maxActiveClubs, 3);
    EXPECT_EQ(world.service.ActiveClubCount(1001), 3);
    EXPECT_EQ(world.service.clubs.at("club-1").nominated.size(), 3u);
    ASSERT_EQ(world.service.players.at(1001).notices.size(), 1u);
    EXPECT_EQ(world.service.players.at(1001).notices[0].action, "OWNER_GIVEN_OWNERSHIP");
    ASSERT_EQ(world.blockedPlayers.size(), 1u);
    EXPECT_EQ(world.blockedPlayers[0].summonerId, 2010u);
    const std::string written = WriteWorld(world);
    EXPECT_EQ(WriteWorld(MustParse(written)), written);
}

TEST(WorldDocument, LargeWorldHasAThousandPlayersInTenClubsOfAHundred) {
    const World world = MustParse(ReadShipped("large.json"));
    EXPECT_EQ(world.service.players.size(), 1000u);
    ASSERT_EQ(world.service.clubs.size(), 10u);
    for (const auto& [key, club] : world.service.clubs) {
        EXPECT_EQ(club.active.size(), 100u) << key;
    }
}

TEST(WorldDocument, MissingFieldsTakeDefaultsThatTheWrittenWorldSpellsOut) {
    const World world = MustParse(kMinimal);
    const PlayerRecord& player = world.service.players.at(7);
    EXPECT_EQ(player.player.token, "local-token-7");
    EXPECT_EQ(world.loggedInAccountId, std::optional<uint64_t>(7));  // the first player
    EXPECT_EQ(world.service.clubs.at("k").jid, "k@clubs.chat.local");
    const std::string written = WriteWorld(world);
    EXPECT_NE(written.find("\"token\": \"local-token-7\""), std::string::npos);
    EXPECT_EQ(WriteWorld(MustParse(written)), written);
}

TEST(WorldDocument, WhatAClubLeavesOutComesFromTheWorldAroundIt) {
    const World world = MustParse(
        R"({"service":{"clock":1750000000000,"chatDomain":"chat.test"},)"
        R"("players":[{"accountId":7,"summonerId":8,"platformId":"EU9"},)"
        R"({"accountId":9,"summonerId":10}],"clubs":[)"
        R"({"key":"k","name":"K","createdTs":0,"active":[{"accountId":7,"role":"OWNER"}],)"
        R"("invited":[{"accountId":9}]},)"
        R"({"key":"l","name":"L","active":[{"accountId":7,"role":"OWNER"}],)"
        R"("nominated":[{"accountId":9,"by":7}]}]})");
    const ServiceClub& k = world.service.clubs.at("k");
    EXPECT_EQ(k.createdTs, 0);  // given, even as 0: kept
    EXPECT_EQ(k.lastModifiedTs, 1750000000000);
    EXPECT_EQ(k.platformId, "EU9");  // the logged-in player's
    EXPECT_EQ(k.jid, "k@chat.test");
    EXPECT_EQ(k.invited.at(0).role, "INVITEE");
    const ServiceClub& l = world.service.clubs.at("l");
    EXPECT_EQ(l.createdTs, 1750000000000);
    EXPECT_EQ(l.nominated.at(0).role, "NOMINEE");
}

TEST(WorldDocument, AFrozenClockIsWrittenAndReadBackAndARunningOneLeavesTheFlagOut) {
    World world = MustParse(R"({"service":{"clock":1750000000000,"clockFrozen":true},)"
                            R"("players":[{"accountId":7,"summonerId":8}],"clubs":[]})");
    EXPECT_EQ(world.clock, 1750000000000);
    EXPECT_TRUE(world.clockFrozen);
    const std::string written = WriteWorld(world);
    EXPECT_NE(written.find("\"clock\": 1750000000000,\n    \"clockFrozen\": true,"),
              std::string::npos)
        << written;
    const World again = MustParse(written);
    EXPECT_EQ(again.clock, 1750000000000);
    EXPECT_TRUE(again.clockFrozen);
    world.clockFrozen = false;
    EXPECT_EQ(WriteWorld(world).find("clockFrozen"), std::string::npos);
}

TEST(WorldDocument, AConfigurationNumberIsWrittenAsGiven) {
    // The shortest text of its double: read one step off, it would change with every export
    // and load of the world.
    std::string text = kMinimal;
    text.insert(1, R"("platformConfig":{"Clubs":{"Scale":1.2345678901231233e30}},)");
    const World world = MustParse(text);
    ASSERT_EQ(world.platformConfig.size(), 1u);
    EXPECT_EQ(world.platformConfig[0].json, "1.2345678901231233e30");
    const std::string written = WriteWorld(world);
    EXPECT_NE(written.find("\"Scale\": 1.2345678901231233e30"), std::string::npos) << written;
    EXPECT_EQ(WriteWorld(MustParse(written)), written);
}

TEST(WorldDocument, NullLoggedInAccountMeansNobodyIsLoggedIn) {
    std::string text = kMinimal;
    text.insert(1, "\"loggedInAccountId\":null,");
    EXPECT_FALSE(MustParse(text).loggedInAccountId.has_value());
}

struct BadWorld {
    const char* what;
    std::string text;
    const char* message;
};

std::string WithClubs(const std::string& clubs,
                      const std::string& players = R"([{"accountId":7,"summonerId":8},)"
                                                   R"({"accountId":9,"summonerId":10}])") {
    return R"({"players":)" + players + R"(,"clubs":)" + clubs + "}";
}

TEST(WorldDocument, BadDocumentsAreRefusedWithWhatIsWrongAndWhere) {
    const std::string owner = R"({"accountId":7,"role":"OWNER"})";
    const BadWorld cases[] = {
        {"not JSON", "{\"players\":[", "not valid JSON"},
        {"no players", R"({"clubs":[]})", "players: is missing"},
        {"players not an array", R"({"players":{},"clubs":[]})", "players: must be an array"},
        {"unknown field", R"({"players":[],"clubs":[],"colour":1})", "colour: is not a field"},
        {"frozen not a flag", R"({"service":{"clockFrozen":1},"players":[],"clubs":[]})",
         "service.clockFrozen: must be true or false"},
        {"wrong type", WithClubs(R"([{"key":"k","name":5,"active":[)" + owner + "]}]"),
         "clubs[0].name: must be a text"},
        {"negative id", R"({"players":[{"accountId":-1,"summonerId":8}],"clubs":[]})",
         "players[0].accountId: must be a whole number"},
        {"two owners",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner +
                   R"(,{"accountId":9,"role":"OWNER"}]}])"),
         "club \"k\" has two owners (accounts 7 and 9)"},
        {"active member without a role",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner + R"(,{"accountId":9}]}])"),
         "clubs[0].active[1].role: is missing"},
        {"a field given twice", WithClubs(R"([{"key":"k","key":"l","name":"K"}])"),
         "clubs[0].key: is given twice"},
        {"empty club key", WithClubs(R"([{"key":"","name":"K"}])"),
         "clubs[0].key: must not be empty"},
        {"no owner", WithClubs(R"([{"key":"k","name":"K","active":[]}])"),
         "club \"k\" has no owner"},
        {"member not a player",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner +
                   R"(,{"accountId":99,"role":"MEMBER"}]}])"),
         "active member 99 is not a player"},
        {"duplicate club key",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner +
                   R"(]},{"key":"k","name":"L","active":[)" + owner + "]}]"),
         "a second club with key \"k\""},
        {"duplicate account",
         WithClubs("[]", R"([{"accountId":7,"summonerId":8},{"accountId":7,"summonerId":9}])"),
         "a second player with account id 7"},
        {"member and invitee at once",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner +
                   R"(],"invited":[{"accountId":7}]}])"),
         "7 is listed twice"},
        {"unknown role",
         WithClubs(R"([{"key":"k","name":"K","active":[)" + owner +
                   R"(,{"accountId":9,"role":"CAPTAIN"}]}])"),
         "has role \"CAPTAIN\""},
        {"logged in player unknown",
         R"({"loggedInAccountId":5,"players":[{"accountId":7,"summonerId":8}],"clubs":[]})",
         "loggedInAccountId: 5 is not a player"},
        {"over the club limit",
         R"({"service":{"limits":{"maxActiveClubs":0}},)" +
             WithClubs(R"([{"key":"k","name":"K","active":[)" + owner + "]}]").substr(1),
         "player 7 is in more active clubs than the limit of 0"},
    };
    for (const BadWorld& bad : cases) {
        const WorldParse parsed = ParseWorld(bad.text);
        EXPECT_FALSE(parsed.world.has_value()) << bad.what;
        EXPECT_NE(parsed.error.find(bad.message), std::string::npos)
            << bad.what << ": " << parsed.error;
    }
}

std::string Deep(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// What the world reader refuses before it looks at any field: such worlds would crash the host
// while it reads or writes them, or be stored and sent out as JSON that strict readers refuse.
TEST(WorldDocument, DeepOrNonUtf8DocumentsAreRefusedWithWhere) {
    const std::string config = R"({"platformConfig":{"Ns":{"key":)";  // three levels open
    const std::string clubName = R"({"players":[{"accountId":7,"summonerId":8}],"clubs":[)"
                                 R"({"key":"k","active":[{"accountId":7,"role":"OWNER"}],"name":)";
    const std::string yamlClub =
        "players: [{accountId: 7, summonerId: 8}]\n"
        "clubs:\n- key: k\n  active: [{accountId: 7, role: OWNER}]\n  name: ";
    const struct {
        const char* what;
        std::string text;
        WorldFormat format;
        std::string message;
    } cases[] = {
        {"deep configuration value", config + Deep(60000) + "}}}", WorldFormat::Json,
         "the world nests deeper than 515 levels (at offset " +
             std::to_string(config.size() + 512) + ")"},
        {"deep array", std::string(100000, '['), WorldFormat::Json,
         "the world nests deeper than 515 levels (at offset 515)"},
        {"club name of bytes that are not UTF-8", clubName + "\"Bad \xFF\xFE name\"}]}",
         WorldFormat::Json,
         "the world is not UTF-8 (at offset " + std::to_string(clubName.size() + 5) + ")"},
        {"club name of a lone low surrogate", clubName + R"("\uDFAA"}]})", WorldFormat::Json,
         "the world holds a surrogate escape without its pair, which is not UTF-8 (at offset " +
             std::to_string(clubName.size() + 8) + ")"},
        {"club name of a lone high surrogate", clubName + R"("\uD800"}]})", WorldFormat::Json,
         "the world holds a surrogate escape without its pair, which is not UTF-8 (at offset " +
             std::to_string(clubName.size() + 1) + ")"},
        // The YAML reader's own checks refuse these before anything is converted.
        {"YAML club name of bytes that are not UTF-8", yamlClub + "Bad \xFF\xFE name\n",
         WorldFormat::Yaml,
         "the world is not valid YAML: YAML parser error: invalid leading UTF-8 octet. At "
         "line: 0 col: 0"},
        {"YAML club name of a lone low surrogate", yamlClub + "\"\\uDFAA\"\n", WorldFormat::Yaml,
         "the world is not valid YAML: YAML parser error: found invalid Unicode character "
         "escape code. At line: 4 col: 11"},
        {"YAML club name of a lone high surrogate", yamlClub + "\"\\uD800\"\n", WorldFormat::Yaml,
         "the world is not valid YAML: YAML parser error: found invalid Unicode character "
         "escape code. At line: 4 col: 11"},
    };
    for (const auto& bad : cases) {
        const WorldParse parsed = ParseWorld(bad.text, bad.format);
        EXPECT_FALSE(parsed.world.has_value()) << bad.what;
        EXPECT_EQ(parsed.error, bad.message) << bad.what;
    }
}

// The host stores configuration values up to 512 levels deep; the world it writes holds them
// three levels down and must read back.
TEST(WorldDocument, AConfigurationValueAsDeepAsTheHostStoresReadsBack) {
    const std::string world = std::string(kMinimal).substr(0, std::string(kMinimal).size() - 1) +
                              R"(,"platformConfig":{"Ns":{"key":)" + Deep(512) + "}}}";
    const World read = MustParse(world);
    ASSERT_EQ(read.platformConfig.size(), 1u);
    EXPECT_EQ(read.platformConfig[0].json, Deep(512));
    EXPECT_TRUE(ParseWorld(WriteWorld(read)).world.has_value());
}

// Player 7 is active in two clubs, invited to a third and nominated to a fourth; 9 is active
// in three.
std::string ClubsOfSevenAndNine(int maxActiveClubs) {
    const std::string clubs =
        R"([{"key":"a","name":"A","active":[{"accountId":7,"role":"OWNER"},)"
        R"({"accountId":9,"role":"MEMBER"}]},)"
        R"({"key":"b","name":"B","active":[{"accountId":9,"role":"OWNER"}],)"
        R"("invited":[{"accountId":7}]},)"
        R"({"key":"c","name":"C","active":[{"accountId":9,"role":"OWNER"}],)"
        R"("nominated":[{"accountId":7}]},)"
        R"({"key":"d","name":"D","active":[{"accountId":7,"role":"OWNER"}]}])";
    return R"({"service":{"limits":{"maxActiveClubs":)" + std::to_string(maxActiveClubs) + "}}," +
           WithClubs(clubs).substr(1);
}

TEST(WorldDocument, TheClubLimitCountsEachPlayersActiveClubsOnly) {
    EXPECT_EQ(ParseWorld(ClubsOfSevenAndNine(3)).error, "");
    EXPECT_EQ(ParseWorld(ClubsOfSevenAndNine(2)).error,
              "player 9 is in more active clubs than the limit of 2");
    EXPECT_EQ(ParseWorld(ClubsOfSevenAndNine(1)).error,
              "player 7 is in more active clubs than the limit of 1");
}

TEST(WorldDocument, MalformedYamlIsRefusedWithTheReadersMessage) {
    const WorldParse parsed = ParseWorld("players: [\n  - {accountId: 1", WorldFormat::Yaml);
    EXPECT_FALSE(parsed.world.has_value());
    EXPECT_NE(parsed.error.find("not valid YAML"), std::string::npos) << parsed.error;
}

TEST(WorldDocument, FileFormatFollowsTheExtension) {
    EXPECT_EQ(WorldFormatOfFile("worlds/full-house.yaml"), WorldFormat::Yaml);
    EXPECT_EQ(WorldFormatOfFile("a.yml"), WorldFormat::Yaml);
    EXPECT_EQ(WorldFormatOfFile("worlds/default.json"), WorldFormat::Json);
}

}  // namespace
}  // namespace Kolm::Host
