// EmbeddedClubsService: the host's own clubs web service, the in-memory ClubsWebService served
// over HTTP on a loopback port of its own, with a small seed so that a fresh host shows
// something believable:
//   - the configured player owns "Night Owls" (message of the day set) with Corvina as member
//     and an outgoing invitation to Bram;
//   - Aurelia owns "Lantern Keepers" with Bram as member and has invited the player (one
//     pending invitation);
//   - Bram owns "Tidewatch" with Dace as member.
// Acting as another player goes through HandleAdmin, which the host mounts under its own
// paths: GET .../players lists the seeded players, and any request to .../as/<accountId>/<path>
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
#include "host/serving/http_message.h"
#include "host/serving/http_server.h"
#include "host/serving/platform_simulation.h"

namespace Kolm::Host {

struct SeedPlayer {
    ServicePlayer player;
    std::string name;
    int32_t profileIconId = 0;
};

class EmbeddedClubsService {
  public:
    explicit EmbeddedClubsService(const SimulatedPlayer& player);
    ~EmbeddedClubsService();
    EmbeddedClubsService(const EmbeddedClubsService&) = delete;
    EmbeddedClubsService& operator=(const EmbeddedClubsService&) = delete;

    // Adds the players (the configured one first) and the seed clubs; false with `error` when
    // the configured player's ids or token collide with a seed player's, or a seed step fails.
    bool Seed(std::string* error);
    // Serves the service on 127.0.0.1:`port` (0: any free port).
    bool Start(uint16_t port, std::string* error);
    void Stop();

    // "http://127.0.0.1:<port>", after Start.
    std::string BaseUrl() const;
    ClubsWebService& Service() { return service_; }
    const std::vector<SeedPlayer>& Players() const { return players_; }

    // A request of the admin paths; `rest` is the path after the mount point ("/players",
    // "/as/1002/v1/clubs").
    HttpResponse HandleAdmin(const HttpRequest& request, std::string_view rest);

  private:
    HttpResponse HandleService(const HttpRequest& request);
    bool Step(uint64_t accountId,
              const char* method,
              const std::string& url,
              const std::string& body,
              std::string* error);

    ClubsWebService service_;
    std::vector<SeedPlayer> players_;
    std::unique_ptr<HttpServer> server_;
};

}  // namespace Kolm::Host
