// Shared bits of the end-to-end tests of zun-clubs-host: JSON reading and polling.
#pragma once

#include <rapidjson/document.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace Kolm::HostTest {

inline rapidjson::Document ParseJson(const std::string& text) {
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    return document;
}

// Calls `done` until it returns true or the time is up; its last result.
inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The key of the active club of that name in a membership document, "" when none.
inline std::string ClubKeyByName(const rapidjson::Document& membership, const std::string& name) {
    if (!membership.IsObject() || !membership.HasMember("activeClubs")) {
        return {};
    }
    for (const auto& club : membership["activeClubs"].GetArray()) {
        if (club["name"].GetString() == name) {
            return club["key"].GetString();
        }
    }
    return {};
}

}  // namespace Kolm::HostTest
