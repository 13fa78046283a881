// EmbeddedClubsService: the host's own clubs web service, the in-memory ClubsWebService served
// over HTTP on a loopback port of its own, holding the clubs part of the host's world (see
// worlds/default.json for the world a fresh host starts from: the player owns "Night Owls"
// with Corvina as member and an invitation out to Bram, Aurelia owns "Lantern Keepers" and has
// invited the player, Bram owns "Tidewatch" with Dace).
// Acting as another player goes through HandleAdmin, which the host mounts under its own
// paths: GET .../players lists the world's players, and any request to .../as/<accountId>/<path>
// is the service request <path> sent with that player's token (create a club, invite, accept,
// promote, demote, nominate, kick, leave, hand over ownership: the service's own operations).
//
// Thread rules: after Start, every member may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/serving/http/http_message.h"
#include "host/serving/http/http_server.h"
#include "host/serving/platform_simulation.h"
#include "host/worlds/world.h"
#include "platform/mutex.h"

namespace Kolm::Host {

struct SeedPlayer {
    ServicePlayer player;
    std::string name;
    int32_t profileIconId = 0;
};

class EmbeddedClubsService {
  public:
    EmbeddedClubsService() = default;
    ~EmbeddedClubsService();
    EmbeddedClubsService(const EmbeddedClubsService&) = delete;
    EmbeddedClubsService& operator=(const EmbeddedClubsService&) = delete;

    // Replaces the service's state with the world's (checked already) and its player list with
    // the world's players; the service tells its observers what changed.
    void Load(const World& world);
    // Serves the service on 127.0.0.1:`port` (0: any free port). Like the host's own server it
    // refuses requests from other sites' pages, `allowedOrigins` (--allow-origin) excepted: a
    // page could post to this port directly.
    bool Start(uint16_t port, std::vector<std::string> allowedOrigins, std::string* error);
    void Stop();

    // "http://127.0.0.1:<port>", after Start.
    std::string BaseUrl() const;
    ClubsWebService& Service() { return service_; }
    std::vector<SeedPlayer> Players() const;

    // A request of the admin paths; `rest` is the path after the mount point ("/players",
    // "/as/1002/v1/clubs").
    HttpResponse HandleAdmin(const HttpRequest& request, std::string_view rest);

  private:
    HttpResponse HandleService(const HttpRequest& request);
    bool Knows(uint64_t accountId) const;

    ClubsWebService service_;
    mutable Platform::Mutex playersMutex_;
    std::vector<SeedPlayer> players_ ZC_GUARDED_BY(playersMutex_);
    std::unique_ptr<HttpServer> server_;
};

}  // namespace Kolm::Host
