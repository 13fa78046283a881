// SimulatedPlayerNotifications: the player-notifications plugin. It holds the player's list of
// notifications: a GET of "/player-notifications/v1/notifications" answers the list, a POST to
// it appends its argument (the posted record, kept as sent) and answers it.
//
// Tests seed the list, read what was posted, and make reads or posts fail. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/boundary/owned_host_value.h"
#include "host/simulated/recent_records.h"
#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class SimulatedPlayerNotifications : public SimulatedPlugin {
  public:
    static constexpr const char* kPrefix = "/player-notifications";
    static constexpr const char* kNotificationsPath = "/player-notifications/v1/notifications";

    SimulatedPlayerNotifications();

    // The list keeps the newest this many notifications (and RecentRecords' bytes of them), as
    // a notification centre would.
    static constexpr std::size_t kListLimit = 256;

    // Appends a notification as if it had been posted earlier (not counted among Posted).
    void Add(OwnedHostValue notification);
    // Empties the list and the records of what was posted.
    void Clear();
    // The list as a GET answers it, in order.
    std::vector<OwnedHostValue> Notifications() const;
    // The newest records posted to the list (see SetRecordLimit), as sent, in order; a refused
    // post is not among them.
    std::vector<OwnedHostValue> Posted() const;
    // GETs of the list answered so far, refused ones included.
    std::size_t ReadCount() const;
    void SetRecordLimit(std::size_t limit) override;

    // Until cleared, every read (or post) answers this error and changes nothing.
    void FailReads(uint32_t status, std::string text);
    void FailPosts(uint32_t status, std::string text);
    void ClearFailures();

  private:
    struct Failure {
        uint32_t status;
        std::string text;
    };

    SimulatedAnswer Read();
    SimulatedAnswer Post(const SimulatedRequest& request);
    // Adds to the list, dropping the oldest past its limits.
    void Append(OwnedHostValue notification) ZC_REQUIRES(listMutex_);

    mutable Platform::Mutex listMutex_;
    RecentRecords<OwnedHostValue> notifications_ ZC_GUARDED_BY(listMutex_);
    RecentRecords<OwnedHostValue> posted_ ZC_GUARDED_BY(listMutex_);
    std::optional<Failure> readFailure_ ZC_GUARDED_BY(listMutex_);
    std::optional<Failure> postFailure_ ZC_GUARDED_BY(listMutex_);
};

}  // namespace Kolm::Host
