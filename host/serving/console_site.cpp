#include "host/serving/console_site.h"

#include <string>

namespace Kolm::Host {
namespace {

constexpr std::string_view kPolicy =
    "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// If-None-Match is "*" or a list of tags, weak ones compared as strong (a GET may).
bool MatchesAnyTag(std::string_view header, std::string_view tag) {
    while (!header.empty()) {
        const std::size_t comma = header.find(',');
        std::string_view candidate = TrimBlanks(header.substr(0, comma));
        if (candidate.substr(0, 2) == "W/") {
            candidate.remove_prefix(2);
        }
        if (candidate == "*" || candidate == tag) {
            return true;
        }
        header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
    }
    return false;
}

HttpResponse Redirect(std::string_view location) {
    HttpResponse response = HttpResponse::Error(302, "the console is at " + std::string(location));
    response.headers.emplace_back("Location", std::string(location));
    return response;
}

HttpResponse ServeFile(const HttpRequest& request, const EmbeddedFile& file) {
    const std::string tag = "\"" + std::string(file.sha256) + "\"";
    HttpResponse response;
    const std::optional<std::string> known = request.Header("If-None-Match");
    response.status = known && MatchesAnyTag(*known, tag) ? 304 : 200;
    response.contentType = std::string(MediaTypeOf(file.path));
    if (response.status == 200) {
        response.body = std::string(file.bytes);
    }
    // no-cache: the browser keeps the file but asks again, so a rebuilt host shows at once.
    response.headers = {{"ETag", tag},
                        {"Cache-Control", "no-cache"},
                        {"X-Content-Type-Options", "nosniff"},
                        {"Content-Security-Policy", std::string(kPolicy)},
                        {"Referrer-Policy", "no-referrer"}};
    return response;
}

}  // namespace

std::string_view MediaTypeOf(std::string_view path) {
    struct Type {
        std::string_view extension;
        std::string_view media;
    };
    static constexpr Type kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".ico", "image/x-icon"},
    };
    for (const Type& type : kTypes) {
        if (EndsWith(path, type.extension)) {
            return type.media;
        }
    }
    return "application/octet-stream";
}

std::optional<HttpResponse> ServeConsole(const HttpRequest& request,
                                         std::span<const EmbeddedFile> files) {
    const std::string_view path = request.Path();
    const bool reading = request.method == "GET" || request.method == "HEAD";
    const std::string_view folder = kConsolePath.substr(0, kConsolePath.size() - 1);
    if (path == "/") {
        const std::optional<std::string> accept = request.Header("Accept");
        if (!reading || !accept || accept->find("text/html") == std::string::npos) {
            return std::nullopt;
        }
        return Redirect(kConsolePath);
    }
    if (path == folder) {
        return Redirect(kConsolePath);
    }
    if (path.substr(0, kConsolePath.size()) != kConsolePath) {
        return std::nullopt;
    }
    if (!reading) {
        HttpResponse refusal = HttpResponse::Error(405, "the console's files are read with GET");
        refusal.headers.emplace_back("Allow", "GET, HEAD");
        return refusal;
    }
    std::string_view name = path.substr(kConsolePath.size());
    if (name.empty()) {
        name = "index.html";
    }
    for (const EmbeddedFile& file : files) {
        if (file.path == name) {
            return ServeFile(request, file);
        }
    }
    return HttpResponse::Error(404, "the console has no file " + std::string(name));
}

}  // namespace Kolm::Host
