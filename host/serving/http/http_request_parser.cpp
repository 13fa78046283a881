#include "host/serving/http/http_request_parser.h"

#include <cctype>
#include <vector>

namespace Kolm::Host {
namespace {

bool IsTokenChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte)) {
        return true;
    }
    switch (c) {
        case '!':
        case '#':
        case '$':
        case '%':
        case '&':
        case '\'':
        case '*':
        case '+':
        case '-':
        case '.':
        case '^':
        case '_':
        case '`':
        case '|':
        case '~':
            return true;
        default:
            return false;
    }
}

bool IsToken(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!IsTokenChar(c)) {
            return false;
        }
    }
    return true;
}

// Visible ASCII only: a raw blank, control character or byte above 0x7E in a target is a
// malformed request (clients percent-encode them).
bool IsValidTarget(std::string_view target) {
    if (target.empty() || target.front() != '/') {
        return false;
    }
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return false;
        }
    }
    return true;
}

bool IsValidFieldValue(std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

// The head's lines without their line ends; the blank last line is not included.
std::vector<std::string_view> SplitLines(std::string_view head) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        head.remove_prefix(end + 1);
    }
    return lines;
}

HeadParseResult Refuse(int status, std::string error) {
    HeadParseResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

std::optional<std::size_t> ParseLength(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    std::size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return value;
}

bool ParseRequestLine(std::string_view line,
                      HttpRequest& request,
                      HeadParseResult& refusal,
                      const HttpLimits& limits) {
    const std::size_t first = line.find(' ');
    const std::size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) {
        refusal = Refuse(400, "malformed request line");
        return false;
    }
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, last - first - 1);
    const std::string_view version = line.substr(last + 1);
    if (!IsToken(method)) {
        refusal = Refuse(400, "malformed request method");
        return false;
    }
    if (target.size() > limits.maxTargetBytes) {
        refusal = Refuse(414, "request target too long");
        return false;
    }
    if (!IsValidTarget(target)) {
        refusal = Refuse(400, "malformed request target");
        return false;
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        refusal = version.substr(0, 5) == "HTTP/" ? Refuse(505, "only HTTP/1.0 and HTTP/1.1")
                                                  : Refuse(400, "malformed HTTP version");
        return false;
    }
    request.method = method;
    request.target = target;
    request.version = version;
    return true;
}

}  // namespace

std::optional<std::size_t> FindHeadEnd(std::string_view buffer) {
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        if (buffer[i] != '\n') {
            continue;
        }
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n') {
            return i + 2;
        }
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') {
            return i + 3;
        }
    }
    return std::nullopt;
}

HeadParseResult ParseRequestHead(std::string_view head, const HttpLimits& limits) {
    if (head.size() > limits.maxHeadBytes) {
        const std::size_t lineEnd = head.find('\n');
        return lineEnd > limits.maxTargetBytes ? Refuse(414, "request target too long")
                                               : Refuse(431, "request head too large");
    }
    const std::vector<std::string_view> lines = SplitLines(head);
    if (lines.empty()) {
        return Refuse(400, "empty request");
    }
    RequestHead parsed;
    HeadParseResult refusal;
    if (!ParseRequestLine(lines.front(), parsed.request, refusal, limits)) {
        return refusal;
    }
    if (lines.size() - 1 > limits.maxHeaders) {
        return Refuse(431, "too many header fields");
    }
    std::optional<std::size_t> length;
    bool hostSeen = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
            return Refuse(400, "malformed header field");
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = TrimBlanks(line.substr(colon + 1));
        if (!IsValidFieldValue(value)) {
            return Refuse(400, "malformed header field value");
        }
        if (EqualsIgnoringCase(name, "Transfer-Encoding")) {
            return Refuse(501, "transfer codings are not supported: send a Content-Length");
        }
        // Two Host headers may name two hosts, and the loopback check would see only one.
        if (EqualsIgnoringCase(name, "Host")) {
            if (hostSeen) {
                return Refuse(400, "more than one Host header");
            }
            hostSeen = true;
        }
        if (EqualsIgnoringCase(name, "Content-Length")) {
            const std::optional<std::size_t> declared = ParseLength(value);
            if (!declared || (length && *length != *declared)) {
                return Refuse(400, "malformed Content-Length");
            }
            length = declared;
        }
        if (EqualsIgnoringCase(name, "Expect") && EqualsIgnoringCase(value, "100-continue")) {
            parsed.expectContinue = true;
        }
        parsed.request.headers.emplace_back(std::string(name), std::string(value));
    }
    if (parsed.request.version == "HTTP/1.1" && !parsed.request.Header("Host")) {
        return Refuse(400, "HTTP/1.1 request without Host");
    }
    parsed.contentLength = length.value_or(0);
    if (const std::size_t limit = limits.BodyLimit(parsed.request); parsed.contentLength > limit) {
        return Refuse(413, "request body larger than " + std::to_string(limit) + " bytes");
    }
    HeadParseResult result;
    result.head = std::move(parsed);
    return result;
}

bool IsLoopbackHost(std::string_view host) {
    std::string_view name = host;
    if (!name.empty() && name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        std::string_view rest = name.substr(close + 1);
        name = name.substr(1, close - 1);
        if (!rest.empty() && (rest.front() != ':' || !ParseLength(rest.substr(1)))) {
            return false;
        }
        return name == "::1";
    }
    const std::size_t colon = name.find(':');
    if (colon != std::string_view::npos) {
        if (!ParseLength(name.substr(colon + 1))) {
            return false;
        }
        name = name.substr(0, colon);
    }
    if (EqualsIgnoringCase(name, "localhost")) {
        return true;
    }
    // Dotted quad 127.x.y.z, each piece 0 to 255.
    if (name.substr(0, 4) != "127.") {
        return false;
    }
    int pieces = 0;
    while (!name.empty()) {
        const std::size_t dot = name.find('.');
        const std::optional<std::size_t> piece = ParseLength(name.substr(0, dot));
        if (!piece || *piece > 255 || name.substr(0, dot).size() > 3) {
            return false;
        }
        ++pieces;
        if (dot == std::string_view::npos) {
            break;
        }
        name.remove_prefix(dot + 1);
        if (name.empty()) {
            return false;
        }
    }
    return pieces == 4;
}

}  // namespace Kolm::Host
