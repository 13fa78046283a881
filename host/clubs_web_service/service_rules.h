// The rules every state of the clubs web service keeps, checked when a whole state is handed to
// the service at once (a world loaded from a document) rather than built by its operations,
// which keep them one change at a time.
#pragma once

#include <string>

#include "host/clubs_web_service/service_state.h"

namespace Kolm::Host {

// "" when `data` keeps the rules, else the first broken one in words: players with distinct
// summoner ids and non-empty tokens; in every club exactly one owner, roles the service knows,
// every listed account a known player, listed once across active, invited and nominated; club
// names distinct; nobody in more active clubs than the limit; no club past its member or
// nomination limit; primary clubs and notices pointing at clubs that exist.
std::string CheckServiceData(const ServiceData& data);

}  // namespace Kolm::Host
