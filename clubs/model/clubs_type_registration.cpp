#include "clubs/model/clubs_type_registration.h"

#include "binding/binding_type_registry.h"
#include "clubs/model/clubs_api_types.h"
#include "clubs/model/clubs_external_records.h"
#include "clubs/model/clubs_service_types.h"

#pragma push_macro("ERROR")
#undef ERROR

namespace Kolm::Client::Clubs::Api {
namespace {

void RegisterEnums(BindingTypeRegistry& registry) {
    using P = ClubPermission;
    registry.RegisterEnum<ClubPermission>("ClubPermission")
        .AddValue("INVITE", P::INVITE)
        .AddValue("PROMOTE", P::PROMOTE)
        .AddValue("DEMOTE", P::DEMOTE)
        .AddValue("KICK_MEMBER", P::KICK_MEMBER)
        .AddValue("KICK_OFFICER", P::KICK_OFFICER)
        .AddValue("OWNERSHIP_TRANSFER", P::OWNERSHIP_TRANSFER)
        .AddValue("NOMINATE", P::NOMINATE)
        .AddValue("SET_MOTD", P::SET_MOTD)
        .AddValue("SET_DESCRIPTION", P::SET_DESCRIPTION);
    registry.RegisterEnum<ClubRole>("ClubRole")
        .AddValue("UNKNOWN", ClubRole::UNKNOWN)
        .AddValue("OWNER", ClubRole::OWNER)
        .AddValue("OFFICER", ClubRole::OFFICER)
        .AddValue("MEMBER", ClubRole::MEMBER)
        .AddValue("INVITEE", ClubRole::INVITEE)
        .AddValue("NOMINEE", ClubRole::NOMINEE);
    registry.RegisterEnum<ClubInviteStatus>("ClubInviteStatus")
        .AddValue("PENDING", ClubInviteStatus::PENDING)
        .AddValue("ACCEPTED", ClubInviteStatus::ACCEPTED)
        .AddValue("REJECTED", ClubInviteStatus::REJECTED)
        .AddValue("BLOCKED", ClubInviteStatus::BLOCKED);
}

void RegisterMembers(BindingTypeRegistry& registry) {
    registry.RegisterStruct<ClubPermissions>("ClubPermissions")
        .AddField("ADMIN", &ClubPermissions::ADMIN)
        .AddField("OWNER", &ClubPermissions::OWNER)
        .AddField("OFFICER", &ClubPermissions::OFFICER)
        .AddField("MEMBER", &ClubPermissions::MEMBER)
        .AddField("INVITEE", &ClubPermissions::INVITEE)
        .AddField("UNKNOWN", &ClubPermissions::UNKNOWN);
    registry.RegisterStruct<ClubPlayer>("ClubPlayer")
        .AddField("accountId", &ClubPlayer::accountId)
        .AddField("summonerId", &ClubPlayer::summonerId)
        .AddField("summonerName", &ClubPlayer::summonerName)
        .AddField("summonerIconId", &ClubPlayer::summonerIconId);
    registry.RegisterStruct<ClubMember>("ClubMember")
        .AddField("accountId", &ClubMember::accountId)
        .AddField("summonerId", &ClubMember::summonerId)
        .AddField("summonerName", &ClubMember::summonerName)
        .AddField("summonerIconId", &ClubMember::summonerIconId)
        .AddField("since", &ClubMember::since)
        .AddField("role", &ClubMember::role);
    registry.RegisterStruct<ClubMemberLists>("ClubMemberLists")
        .AddField("activeMembers", &ClubMemberLists::activeMembers)
        .AddField("invitedMembers", &ClubMemberLists::invitedMembers)
        .AddField("removedMembers", &ClubMemberLists::removedMembers)
        .AddField("nominatedMembers", &ClubMemberLists::nominatedMembers);
    registry.RegisterStruct<Club>("Club").AddField("key", &Club::key).AddField("name", &Club::name);
}

void RegisterClubs(BindingTypeRegistry& registry) {
    registry.RegisterStruct<PlayerClub>("PlayerClub")
        .AddField("key", &PlayerClub::key)
        .AddField("name", &PlayerClub::name)
        .AddField("description", &PlayerClub::description)
        .AddField("motd", &PlayerClub::motd)
        .AddField("owner", &PlayerClub::owner)
        .AddField("tag", &PlayerClub::tag)
        .AddField("created", &PlayerClub::created)
        .AddField("lastModified", &PlayerClub::lastModified)
        .AddField("jid", &PlayerClub::jid)
        .AddField("role", &PlayerClub::role)
        .AddField("primary", &PlayerClub::primary)
        .AddField("isClubTagEligible", &PlayerClub::isClubTagEligible)
        .AddField("permissions", &PlayerClub::permissions)
        .AddField("members", &PlayerClub::members);
    registry.RegisterStruct<ClubInvite>("ClubInvite")
        .AddField("clubKey", &ClubInvite::clubKey)
        .AddField("clubName", &ClubInvite::clubName)
        .AddField("status", &ClubInvite::status)
        .AddField("inviterAccountId", &ClubInvite::inviterAccountId)
        .AddField("inviterSummonerId", &ClubInvite::inviterSummonerId)
        .AddField("inviterSummonerName", &ClubInvite::inviterSummonerName)
        .AddField("inviteeAccountId", &ClubInvite::inviteeAccountId)
        .AddField("inviteeSummonerId", &ClubInvite::inviteeSummonerId);
}

// ClubsConfig and ClubsServerConfigDto share their twelve fields.
template <class Config>
void AddConfigFields(BindingTypeBuilder builder) {
    builder.AddField("maxActiveClubs", &Config::maxActiveClubs)
        .AddField("maxClubNameLength", &Config::maxClubNameLength)
        .AddField("minClubNameLength", &Config::minClubNameLength)
        .AddField("maxClubTagLength", &Config::maxClubTagLength)
        .AddField("minClubTagLength", &Config::minClubTagLength)
        .AddField("clubTagRequirementsMinMemberLevel", &Config::clubTagRequirementsMinMemberLevel)
        .AddField("clubTagRequirementMinMembers", &Config::clubTagRequirementMinMembers)
        .AddField("clubTagRequirementMinGames", &Config::clubTagRequirementMinGames)
        .AddField("clubNominationsMaxPending", &Config::clubNominationsMaxPending)
        .AddField("clubNominationsEnabled", &Config::clubNominationsEnabled)
        .AddField("clubMotdMaxLength", &Config::clubMotdMaxLength)
        .AddField("clubDescriptionMaxLength", &Config::clubDescriptionMaxLength);
}

void RegisterMembership(BindingTypeRegistry& registry) {
    AddConfigFields<ClubsConfig>(registry.RegisterStruct<ClubsConfig>("ClubsConfig"));
    registry.RegisterStruct<ClubPreferences>("ClubPreferences")
        .AddField("primaryClubKey", &ClubPreferences::primaryClubKey)
        .AddField("shareClubAffiliation", &ClubPreferences::shareClubAffiliation);
    using M = PlayerClubMembership;
    registry.RegisterStruct<PlayerClubMembership>("PlayerClubMembership")
        .AddField("info", &M::info)
        .AddField("activeClubs", &M::activeClubs)
        .AddField("pendingInvites", &M::pendingInvites)
        .AddField("removedClubs", &M::removedClubs)
        .AddField("revokedInviteClubs", &M::revokedInviteClubs)
        .AddField("clubsServerConfig", &M::clubsServerConfig)
        .AddField("preferences", &M::preferences)
        .AddField("secureClubPresenceInfoString", &M::secureClubPresenceInfoString);
    registry.RegisterStruct<ClubName>("ClubName").AddField("name", &ClubName::name);
    registry.RegisterStruct<ClubMOTD>("ClubMOTD").AddField("motd", &ClubMOTD::motd);
    registry.RegisterStruct<ClubTag>("ClubTag").AddField("tag", &ClubTag::tag);
}

void RegisterServiceClubs(BindingTypeRegistry& registry) {
    registry.RegisterStruct<ClubDataDto>("ClubDataDto")
        .AddField("clubKey", &ClubDataDto::clubKey)
        .AddField("name", &ClubDataDto::name)
        .AddField("tag", &ClubDataDto::tag)
        .AddField("description", &ClubDataDto::description)
        .AddField("motd", &ClubDataDto::motd)
        .AddField("createdTs", &ClubDataDto::createdTs)
        .AddField("lastModifiedTs", &ClubDataDto::lastModifiedTs)
        .AddField("jid", &ClubDataDto::jid)
        .AddField("role", &ClubDataDto::role)
        .AddField("permissionMap", &ClubDataDto::permissionMap);
    registry.RegisterStruct<PlayerInfoDto>("PlayerInfoDto")
        .AddField("currentPlatformId", &PlayerInfoDto::currentPlatformId)
        .AddField("currentAccountId", &PlayerInfoDto::currentAccountId)
        .AddField("summonerId", &PlayerInfoDto::summonerId);
    registry.RegisterStruct<MemberSinceDto>("MemberSinceDto")
        .AddField("playerInfo", &MemberSinceDto::playerInfo)
        .AddField("since", &MemberSinceDto::since)
        .AddField("role", &MemberSinceDto::role);
    registry.RegisterStruct<ClubMembershipDto>("ClubMembershipDto")
        .AddField("clubKey", &ClubMembershipDto::clubKey)
        .AddField("activeMembers", &ClubMembershipDto::activeMembers)
        .AddField("invitedMembers", &ClubMembershipDto::invitedMembers)
        .AddField("removedMembers", &ClubMembershipDto::removedMembers)
        .AddField("nominatedMembers", &ClubMembershipDto::nominatedMembers);
    registry.RegisterStruct<ClubDto>("ClubDto")
        .AddField("clubData", &ClubDto::clubData)
        .AddField("membership", &ClubDto::membership)
        .AddField("platformId", &ClubDto::platformId)
        .AddField("resourceUri", &ClubDto::resourceUri);
    registry.RegisterStruct<ClubReferenceDto>("ClubReferenceDto")
        .AddField("clubKey", &ClubReferenceDto::clubKey)
        .AddField("clubName", &ClubReferenceDto::clubName);
    registry.RegisterStruct<ClubsPresenceDataDto>("ClubsPresenceDataDto")
        .AddField("clubName", &ClubsPresenceDataDto::clubName)
        .AddField("clubTag", &ClubsPresenceDataDto::clubTag)
        .AddField("summonerId", &ClubsPresenceDataDto::summonerId)
        .AddField("summonerName", &ClubsPresenceDataDto::summonerName);
    AddConfigFields<ClubsServerConfigDto>(
        registry.RegisterStruct<ClubsServerConfigDto>("ClubsServerConfigDto"));
}

// The eight fields the two invitation records share; MembershipInviteDto adds the invitee's
// account id after them.
template <class Invite>
BindingTypeBuilder AddInviteFields(BindingTypeBuilder builder) {
    builder.AddField("clubKey", &Invite::clubKey)
        .AddField("clubName", &Invite::clubName)
        .AddField("status", &Invite::status)
        .AddField("inviterPlatformId", &Invite::inviterPlatformId)
        .AddField("inviterAccountId", &Invite::inviterAccountId)
        .AddField("inviterSummonerId", &Invite::inviterSummonerId)
        .AddField("inviteePlatformId", &Invite::inviteePlatformId)
        .AddField("inviteeSummonerId", &Invite::inviteeSummonerId);
    return builder;
}

void RegisterServiceMembership(BindingTypeRegistry& registry) {
    AddInviteFields<BaseMembershipInviteDto>(
        registry.RegisterStruct<BaseMembershipInviteDto>("BaseMembershipInviteDto"));
    AddInviteFields<MembershipInviteDto>(
        registry.RegisterStruct<MembershipInviteDto>("MembershipInviteDto"))
        .AddField("inviteeAccountId", &MembershipInviteDto::inviteeAccountId);
    registry.RegisterStruct<MembershipNoficationsDto>("MembershipNoficationsDto")
        .AddField("clubKey", &MembershipNoficationsDto::clubKey)
        .AddField("name", &MembershipNoficationsDto::name)
        .AddField("role", &MembershipNoficationsDto::role)
        .AddField("status", &MembershipNoficationsDto::status)
        .AddField("action", &MembershipNoficationsDto::action);
    registry.RegisterStruct<PlayerMembershipPreferencesDto>("PlayerMembershipPreferencesDto")
        .AddField("primaryActiveClubKey", &PlayerMembershipPreferencesDto::primaryActiveClubKey)
        .AddField("shareClubAffiliation", &PlayerMembershipPreferencesDto::shareClubAffiliation);
    using M = PlayerMembershipDto;
    registry.RegisterStruct<PlayerMembershipDto>("PlayerMembershipDto")
        .AddField("player", &M::player)
        .AddField("activeClubs", &M::activeClubs)
        .AddField("pendingInvites", &M::pendingInvites)
        .AddField("removedClubs", &M::removedClubs)
        .AddField("revokedInviteClubs", &M::revokedInviteClubs)
        .AddField("resourceUri", &M::resourceUri)
        .AddField("clubsServerConfig", &M::clubsServerConfig)
        .AddField("playerClubPreferences", &M::playerClubPreferences)
        .AddField("secureClubPresenceInfoString", &M::secureClubPresenceInfoString);
    using W = PlayerMembershipWithNotificationsDto;
    registry.RegisterStruct<W>("PlayerMembershipWithNotificationsDto")
        .AddField("playerMembership", &W::playerMembership)
        .AddField("membershipNotifications", &W::membershipNotifications);
    registry.RegisterStruct<RosterItemDto>("RosterItemDto")
        .AddField("accountId", &RosterItemDto::accountId)
        .AddField("summonerName", &RosterItemDto::summonerName)
        .AddField("summonerIconId", &RosterItemDto::summonerIconId)
        .AddField("clubRole", &RosterItemDto::clubRole);
}

void RegisterMessagesAndPeers(BindingTypeRegistry& registry) {
    using K = KolmMessagingServiceMessage;
    registry.RegisterStruct<K>("KolmMessagingServiceMessage")
        .AddField("resource", &K::resource)
        .AddField("service", &K::service)
        .AddField("version", &K::version)
        .AddField("timestamp", &K::timestamp)
        .AddField("payload", &K::payload);
    registry.RegisterStruct<SummonerResource>("ClubsSummoner")
        .AddField("summonerId", &SummonerResource::summonerId)
        .AddField("displayName", &SummonerResource::displayName)
        .AddField("profileIconId", &SummonerResource::profileIconId);
    using N = PlayerNotificationResource;
    registry.RegisterStruct<N>("ClubsNotificationResource")
        .AddField("backgroundUrl", &N::backgroundUrl)
        .AddField("created", &N::created)
        .AddField("critical", &N::critical)
        .AddField("data", &N::data)
        .AddField("detailKey", &N::detailKey)
        .AddField("expires", &N::expires)
        .AddField("iconUrl", &N::iconUrl)
        .AddField("id", &N::id)
        .AddField("source", &N::source)
        .AddField("state", &N::state)
        .AddField("titleKey", &N::titleKey)
        .AddField("type", &N::type);
}

void RegisterLogin(BindingTypeRegistry& registry) {
    // The login plugin's numbering: ERROR was added after the others and is 3.
    registry.RegisterEnum<LoginSessionState>("LoginSessionStates")
        .AddValue("IN_PROGRESS", LoginSessionState::IN_PROGRESS)
        .AddValue("ERROR", LoginSessionState::ERROR)
        .AddValue("SUCCEEDED", LoginSessionState::SUCCEEDED)
        .AddValue("LOGGING_OUT", LoginSessionState::LOGGING_OUT);
    registry.RegisterStruct<LoginSession>("LoginSession")
        .AddField("state", &LoginSession::state)
        .AddField("summonerId", &LoginSession::summonerId)
        .AddField("accountId", &LoginSession::accountId)
        .AddField("idToken", &LoginSession::idToken);
    registry.RegisterStruct<BlockedPlayerResource>("BlockedPlayerResource")
        .AddField("id", &BlockedPlayerResource::id)
        .AddField("name", &BlockedPlayerResource::name);
}

}  // namespace

void RegisterClubsTypes(BindingTypeRegistry& registry) {
    RegisterEnums(registry);
    RegisterMembers(registry);
    RegisterClubs(registry);
    RegisterMembership(registry);
    RegisterServiceClubs(registry);
    RegisterServiceMembership(registry);
    RegisterMessagesAndPeers(registry);
    RegisterLogin(registry);
}

}  // namespace Kolm::Client::Clubs::Api

#pragma pop_macro("ERROR")
