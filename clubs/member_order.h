// The order in which a club's member lists are held and published: the owner first, then
// officers, then everyone else; within each rank by name, ignoring the case of ASCII letters.
#pragma once

#include <string>
#include <vector>

#include "clubs/model/clubs_api_types.h"

namespace Kolm::Client::Clubs {

// Byte-wise comparison after lower-casing A to Z only; a proper prefix comes first.
bool FoldedNameLess(const std::string& a, const std::string& b);

// Whether `a` goes before `b`. A strict weak order even for lists the service sends with two
// owners, so sorting never misbehaves on them: members of equal rank are ordered by name.
bool MemberGoesBefore(const Api::ClubMember& a, const Api::ClubMember& b);

// Sorts one list by MemberGoesBefore (members that compare equal keep no particular order).
void SortMembers(std::vector<Api::ClubMember>& members);

}  // namespace Kolm::Client::Clubs
