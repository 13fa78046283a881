// The member order on its own: ranks first, then names folded in ASCII case only, and a strict
// weak order even for lists with two owners.
#include "clubs/member_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Kolm::Client::Clubs {
namespace {

Api::ClubMember Member(const std::string& name, Api::ClubRole role) {
    Api::ClubMember member;
    member.summonerName = name;
    member.role = role;
    return member;
}

std::vector<std::string> Names(const std::vector<Api::ClubMember>& members) {
    std::vector<std::string> names;
    for (const Api::ClubMember& member : members) {
        names.push_back(member.summonerName);
    }
    return names;
}

TEST(MemberOrderTest, OwnerThenOfficersThenEveryoneByFoldedName) {
    std::vector<Api::ClubMember> members = {
        Member("Bob", Api::ClubRole::MEMBER),  Member("alice", Api::ClubRole::MEMBER),
        Member("Zed", Api::ClubRole::OFFICER), Member("carl", Api::ClubRole::OWNER),
        Member("Amy", Api::ClubRole::UNKNOWN), Member("bea", Api::ClubRole::OFFICER)};
    SortMembers(members);
    EXPECT_EQ(Names(members),
              (std::vector<std::string>{"carl", "bea", "Zed", "alice", "Amy", "Bob"}));
}

TEST(MemberOrderTest, NamesFoldOnlyAsciiLettersAndAPrefixComesFirst) {
    EXPECT_TRUE(FoldedNameLess("ann", "Anna"));
    EXPECT_FALSE(FoldedNameLess("Anna", "ann"));
    EXPECT_FALSE(FoldedNameLess("ANN", "ann"));
    EXPECT_FALSE(FoldedNameLess("ann", "ANN"));
    // "[" (0x5B) lies between the upper- and lower-case letters: folded, "Z" moves past it.
    EXPECT_TRUE(FoldedNameLess("[", "Z"));
    EXPECT_FALSE(FoldedNameLess("Z", "["));
    // Bytes above 0x7F stay as they are and sort after every ASCII letter.
    EXPECT_TRUE(FoldedNameLess("z", "\xC3\x89mile"));
    EXPECT_FALSE(FoldedNameLess("\xC3\xA9mile", "\xC3\x89mile"));
}

TEST(MemberOrderTest, TwoOwnersStillOrderStrictly) {
    const Api::ClubMember first = Member("ann", Api::ClubRole::OWNER);
    const Api::ClubMember second = Member("bob", Api::ClubRole::OWNER);
    EXPECT_FALSE(MemberGoesBefore(first, first));
    EXPECT_TRUE(MemberGoesBefore(first, second));
    EXPECT_FALSE(MemberGoesBefore(second, first));

    std::vector<Api::ClubMember> members(40, Member("x", Api::ClubRole::OWNER));
    members.push_back(Member("a", Api::ClubRole::OWNER));
    SortMembers(members);
    EXPECT_EQ(members.front().summonerName, "a");
}

}  // namespace
}  // namespace Kolm::Client::Clubs
