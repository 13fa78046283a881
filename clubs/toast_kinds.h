// The texts that name the clubs plugin's toasts: the source every toast of ours carries, the
// three types, the one title and the detail key of each kind. The front end turns title and
// detail keys into words; these texts must stay exactly as they are.
#pragma once

namespace Kolm::Client::Clubs::Toast {

inline constexpr const char* kSource = "clubs";
inline constexpr const char* kTitle = "clubs_toast";

// Types: about one player acting or acted on, about the club itself, about an invitation.
inline constexpr const char* kTypeMember = "club_member";
inline constexpr const char* kTypeClub = "club";
inline constexpr const char* kTypeInvite = "club_invite";

// Detail keys of the toasts about one player.
inline constexpr const char* kInviteSent = "clubs_invite_sent";
inline constexpr const char* kKickPlayer = "clubs_kick_player";
inline constexpr const char* kPromotePlayer = "clubs_promote_player";
inline constexpr const char* kDemotePlayer = "clubs_demote_player";
inline constexpr const char* kTransferOwnership = "clubs_transfer_ownership";
inline constexpr const char* kNominateSent = "clubs_nominate_sent";
inline constexpr const char* kPlayerJoined = "clubs_player_joined";
inline constexpr const char* kPlayerLeft = "clubs_player_left";
inline constexpr const char* kPlayerNominated = "clubs_player_nominated";
inline constexpr const char* kNewInvite = "clubs_new_invite";
inline constexpr const char* kTransferOwnershipYou = "clubs_transfer_ownership_you";
inline constexpr const char* kPromoteYou = "clubs_promote_you";
inline constexpr const char* kDemoteYou = "clubs_demote_you";

// Detail keys of the toasts about a club as a whole.
inline constexpr const char* kLeave = "clubs_leave";
inline constexpr const char* kRemoved = "clubs_removed";

}  // namespace Kolm::Client::Clubs::Toast
