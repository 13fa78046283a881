#include "host/serving/http/origin_policy.h"

#include <algorithm>

namespace Kolm::Host {
namespace {

constexpr std::string_view kShape = "scheme://host[:port], for example http://localhost:4200";

std::optional<std::string> Fail(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
    return std::nullopt;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f');
}

bool IsScheme(std::string_view scheme) {
    if (scheme.empty() || !IsLetter(scheme.front())) {
        return false;
    }
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return IsLetter(c) || IsDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

bool IsHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return IsLetter(c) || IsDigit(c) || c == '-' || c == '.';
    });
}

bool IsBracketedAddress(std::string_view host) {
    return host.size() > 2 && host.front() == '[' && host.back() == ']' &&
           std::all_of(host.begin() + 1, host.end() - 1,
                       [](char c) { return IsHexDigit(c) || c == ':' || c == '.'; });
}

bool IsPort(std::string_view port) {
    if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), IsDigit)) {
        return false;
    }
    const int value = std::stoi(std::string(port));
    return value > 0 && value <= 65535;
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

std::vector<std::string_view> HeaderValues(const HttpRequest& request, std::string_view name) {
    std::vector<std::string_view> values;
    for (const auto& [header, value] : request.headers) {
        if (EqualsIgnoringCase(header, name)) {
            values.push_back(value);
        }
    }
    return values;
}

}  // namespace

std::optional<std::string> ParseOrigin(std::string_view url, std::string* error) {
    if (url == "null") {
        return Fail(error,
                    "\"null\" is sent by sandboxed frames and files opened from disk, "
                    "whichever page they hold, so it is never trusted");
    }
    const std::size_t separator = url.find("://");
    if (separator == std::string_view::npos || !IsScheme(url.substr(0, separator))) {
        return Fail(error, "an origin is " + std::string(kShape));
    }
    const std::string scheme = Lowered(url.substr(0, separator));
    const std::string_view authority = url.substr(separator + 3);
    if (authority.find_first_of("/?#") != std::string_view::npos) {
        return Fail(error, "an origin has no path, query or fragment: " + std::string(kShape));
    }
    // The port's colon is the last one after any bracketed address.
    const std::size_t close = authority.rfind(']');
    const std::size_t colon = authority.find(':', close == std::string_view::npos ? 0 : close);
    const std::string_view host = authority.substr(0, colon);
    const std::string_view port =
        colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
    if ((!IsHostName(host) && !IsBracketedAddress(host)) ||
        (colon != std::string_view::npos && !IsPort(port))) {
        return Fail(error, "an origin is " + std::string(kShape));
    }
    std::string origin = scheme + "://" + Lowered(host);
    const bool defaultPort =
        (scheme == "http" && port == "80") || (scheme == "https" && port == "443");
    if (!port.empty() && !defaultPort) {
        origin += ":" + std::to_string(std::stoi(std::string(port)));
    }
    return origin;
}

OriginPolicy::OriginPolicy(uint16_t port, std::vector<std::string> allowed)
    : allowed_(std::move(allowed)) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        own_.push_back(*ParseOrigin("http://" + std::string(host) + ":" + std::to_string(port)));
    }
}

bool OriginPolicy::Trusts(std::string_view origin) const {
    const std::optional<std::string> parsed = ParseOrigin(origin);
    return parsed && (std::find(own_.begin(), own_.end(), *parsed) != own_.end() ||
                      std::find(allowed_.begin(), allowed_.end(), *parsed) != allowed_.end());
}

std::optional<std::string> OriginPolicy::Refusal(const HttpRequest& request) const {
    const std::vector<std::string_view> origins = HeaderValues(request, "Origin");
    for (const std::string_view origin : origins) {
        if (!Trusts(origin)) {
            return "cross-site request refused: Origin '" + std::string(origin) +
                   "' is neither this host's own (" + own_[0] + " or " + own_[1] +
                   ") nor given with --allow-origin";
        }
    }
    if (request.method == "GET" || request.method == "HEAD" || !origins.empty()) {
        return std::nullopt;
    }
    for (const std::string_view site : HeaderValues(request, "Sec-Fetch-Site")) {
        if (!EqualsIgnoringCase(site, "same-origin") && !EqualsIgnoringCase(site, "none")) {
            return "cross-site request refused: a " + request.method + " with Sec-Fetch-Site '" +
                   std::string(site) +
                   "' and no Origin comes from another site's page (only 'same-origin' and "
                   "'none' are served)";
        }
    }
    return std::nullopt;
}

}  // namespace Kolm::Host
