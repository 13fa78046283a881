#include "host/serving/winhttp_transport.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "host/serving/request_bridge.h"
#include "host/serving/transport_answer.h"

namespace Kolm::Host {
namespace {

constexpr DWORD kDefaultTimeoutSeconds = 20;
constexpr DWORD kMaxTimeoutSeconds = 300;

struct CloseHandle {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, CloseHandle>;

std::wstring Wide(const char* utf8, int length = -1) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8, length, nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, length, wide.data(), size);
    if (length < 0) {
        wide.pop_back();  // the terminating NUL
    }
    return wide;
}

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return std::string();
    }
    const int count = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The message of a failed WinHTTP call, from its GetLastError code.
std::string FailureText(DWORD code) {
    switch (code) {
        case ERROR_WINHTTP_TIMEOUT:
            return "Timeout was reached";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return "Could not resolve the host name";
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return "Could not connect to the server";
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return "The connection was reset or closed before the answer";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return "The server's answer is not HTTP";
        case ERROR_WINHTTP_SECURE_FAILURE:
            return "The TLS connection failed (certificate or handshake)";
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
            return "Unsupported protocol: only http and https are spoken";
        case ERROR_WINHTTP_INVALID_URL:
            return "The URL cannot be read";
        default:
            return "The HTTP request failed (WinHTTP error " + std::to_string(code) + ")";
    }
}

bool IsSafeHeaderText(const char* text) {
    return text != nullptr && std::strpbrk(text, "\r\n") == nullptr;
}

// The request's header lines, each ended by CRLF, as WinHttpSendRequest takes them.
std::wstring RequestHeaders(const HostHttpRequest& request) {
    std::string lines;
    for (uint32_t i = 0; request.headers != nullptr && i < request.headerCount; ++i) {
        const HostHeader& header = request.headers[i];
        if (!IsSafeHeaderText(header.name) || !IsSafeHeaderText(header.value) ||
            *header.name == '\0' || std::strchr(header.name, ':') != nullptr) {
            continue;
        }
        lines += std::string(header.name) + ": " + header.value + "\r\n";
    }
    return Wide(lines.c_str());
}

// Splits the raw answer head (status line, then "Name: value" lines) into the answer's headers.
void TakeHeaders(const std::wstring& head, TransportAnswer& answer) {
    std::size_t start = head.find(L"\r\n");  // past the status line
    while (start != std::wstring::npos) {
        start += 2;
        const std::size_t end = head.find(L"\r\n", start);
        const std::wstring line =
            head.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        const std::size_t colon = line.find(L':');
        if (colon != std::wstring::npos && colon > 0) {
            std::size_t value = colon + 1;
            while (value < line.size() && (line[value] == L' ' || line[value] == L'\t')) {
                ++value;
            }
            answer.headerTexts.emplace_back(Utf8(line.data(), colon),
                                            Utf8(line.data() + value, line.size() - value));
        }
        start = end;
    }
}

// Sets an option of a request handle; false when WinHTTP refuses it.
bool SetOption(void* request, DWORD option, DWORD value) {
    return WinHttpSetOption(request, option, &value, sizeof(value)) != FALSE;
}

void ConfigureRequest(void* request, DWORD timeoutMilliseconds, bool verify) {
    const int timeout = static_cast<int>(timeoutMilliseconds);
    WinHttpSetTimeouts(request, timeout, timeout, timeout, timeout);
    SetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
    SetOption(request, WINHTTP_OPTION_DISABLE_FEATURE,
              WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES);
    SetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH);
    if (!verify) {
        SetOption(request, WINHTTP_OPTION_SECURITY_FLAGS,
                  SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                      SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE);
    }
}

// The answer's status, headers and body (none for HEAD), in the calling thread's answer.
void Receive(HostHttpResponse& response,
             void* request,
             bool head,
             std::size_t maxBody,
             std::chrono::steady_clock::time_point deadline) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        FailTransport(response, FailureText(GetLastError()));
        return;
    }
    TransportAnswer& answer = NewTransportAnswer(response);
    DWORD headBytes = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &headBytes, WINHTTP_NO_HEADER_INDEX);
    std::wstring rawHead(headBytes / sizeof(wchar_t) + 1, L'\0');
    headBytes = static_cast<DWORD>(rawHead.size() * sizeof(wchar_t));
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            rawHead.data(), &headBytes, WINHTTP_NO_HEADER_INDEX)) {
        rawHead.resize(headBytes / sizeof(wchar_t));
        TakeHeaders(rawHead, answer);
    }
    for (DWORD available = 0; !head;) {
        if (!WinHttpQueryDataAvailable(request, &available)) {
            FailTransport(response, FailureText(GetLastError()));
            return;
        }
        if (available == 0) {
            break;
        }
        if (answer.body.size() + available > maxBody) {
            FailTransport(response, "the answer's body is too large");
            return;
        }
        const std::size_t offset = answer.body.size();
        answer.body.resize(offset + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, answer.body.data() + offset, available, &read)) {
            FailTransport(response, FailureText(GetLastError()));
            return;
        }
        answer.body.resize(offset + read);
        // The system's timeouts bound each wait; this bounds the whole answer, as promised.
        if (std::chrono::steady_clock::now() > deadline) {
            FailTransport(response, FailureText(ERROR_WINHTTP_TIMEOUT));
            return;
        }
    }
    PublishTransportAnswer(response, status);
}

}  // namespace

WinHttpTransport::WinHttpTransport(std::size_t maxBodyBytes)
    : maxBodyBytes_(maxBodyBytes),
      session_(WinHttpOpen(L"zun-clubs-host",
                           WINHTTP_ACCESS_TYPE_NO_PROXY,
                           WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS,
                           0)) {}

WinHttpTransport::~WinHttpTransport() {
    if (session_ != nullptr) {
        WinHttpCloseHandle(session_);
    }
}

void WinHttpTransport::Send(HostHttpResponse& response, const HostHttpRequest& request) const {
    if (request.url == nullptr || *request.url == '\0') {
        FailTransport(response, "no URL given");
        return;
    }
    if (session_ == nullptr) {
        FailTransport(response, "cannot create an HTTP client");
        return;
    }
    const std::wstring url = Wide(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        FailTransport(response,
                      FailureText(url.empty() ? ERROR_WINHTTP_INVALID_URL : GetLastError()));
        return;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        FailTransport(response, FailureText(ERROR_WINHTTP_UNRECOGNIZED_SCHEME));
        return;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.empty() || target[0] != L'/') {
        target.insert(0, L"/");
    }
    const DWORD seconds =
        request.setting == 0
            ? kDefaultTimeoutSeconds
            : std::min<DWORD>(static_cast<DWORD>(request.setting), kMaxTimeoutSeconds);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const char* method = MethodName(request.method);
    const std::wstring verb = Wide(*method != '\0' ? method : "GET");

    const Handle connection(WinHttpConnect(session_, host.c_str(), parts.nPort, 0));
    // The target goes out as the plugin wrote it: it is percent-encoded already.
    const DWORD flags = (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0) |
                        WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    const Handle handle(connection == nullptr
                            ? nullptr
                            : WinHttpOpenRequest(connection.get(), verb.c_str(), target.c_str(),
                                                 nullptr, WINHTTP_NO_REFERER,
                                                 WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (handle == nullptr) {
        FailTransport(response, FailureText(GetLastError()));
        return;
    }
    ConfigureRequest(handle.get(), seconds * 1000, request.flag != 0);
    const std::wstring headers = RequestHeaders(request);
    const DWORD bodyLength = request.body != nullptr ? request.bodyLength : 0;
    if (!WinHttpSendRequest(handle.get(),
                            headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            headers.empty() ? 0 : static_cast<DWORD>(-1L),
                            const_cast<uint8_t*>(request.body), bodyLength, bodyLength, 0) ||
        !WinHttpReceiveResponse(handle.get(), nullptr)) {
        FailTransport(response, FailureText(GetLastError()));
        return;
    }
    Receive(response, handle.get(), request.method == HOST_METHOD_HEAD, maxBodyBytes_, deadline);
}

}  // namespace Kolm::Host
