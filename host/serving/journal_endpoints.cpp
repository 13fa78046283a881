#include "host/serving/journal_endpoints.h"

#include <optional>
#include <utility>

#include "host/faults/fault_rule.h"
#include "host/serving/journal_records.h"

namespace Kolm::Host {
namespace {

constexpr const char* kRequestsUri = "/zun-clubs-host/v1/requests";

// What a query asks for; `error` says which parameter cannot be read.
struct JournalQuery {
    JournalFilter filter;
    std::size_t count = 1;
    uint32_t timeoutMs = 5000;
    std::string error;
};

// Reads one filter parameter; false when `key` is not one.
bool ReadFilter(const std::string& key, const std::string& value, JournalQuery& query) {
    if (key == "service") {
        query.filter.service = value;
    } else if (key == "method") {
        if (!IsHttpMethodName(value)) {
            query.error = "\"method\" must be an HTTP method in capitals, such as \"PUT\"";
        }
        query.filter.method = value;
    } else if (key == "path") {
        if (value.empty() || value.front() != '/' || value.find('?') != std::string::npos) {
            query.error =
                "\"path\" must be a path pattern starting with \"/\", \"*\" for a segment";
        }
        query.filter.pathPattern = PathPatternSegments(value);
    } else if (key == "since") {
        const std::optional<uint64_t> since = ParseDecimal(value);
        if (!since) {
            query.error = "\"since\" must be an entry id, a whole number";
        }
        query.filter.since = since.value_or(0);
    } else {
        return false;
    }
    return true;
}

bool ReadWaitBound(const std::string& key, const std::string& value, JournalQuery& query) {
    const std::optional<uint64_t> number = ParseDecimal(value);
    if (key == "count") {
        if (!number || *number == 0 || *number > kMaxJournalWaitCount) {
            query.error = "\"count\" must be a whole number from 1 to " +
                          std::to_string(kMaxJournalWaitCount);
        }
        query.count = static_cast<std::size_t>(number.value_or(1));
    } else if (key == "timeoutMs") {
        if (!number || *number > kMaxJournalWaitMs) {
            query.error = "\"timeoutMs\" must be a whole number of milliseconds from 0 to " +
                          std::to_string(kMaxJournalWaitMs);
        }
        query.timeoutMs = static_cast<uint32_t>(number.value_or(0));
    } else {
        return false;
    }
    return true;
}

JournalQuery ReadQuery(std::string_view text, bool waiting) {
    JournalQuery query;
    for (const auto& [key, value] : ParseQuery(text)) {
        if (!ReadFilter(key, value, query) && !(waiting && ReadWaitBound(key, value, query))) {
            query.error = "unknown parameter \"" + key + "\"; the journal is filtered by " +
                          (waiting ? "service, method, path, since, count and timeoutMs"
                                   : "service, method, path and since");
        }
        if (!query.error.empty()) {
            break;
        }
    }
    return query;
}

HttpResponse NoContent() {
    HttpResponse response = HttpResponse::Json(204, "");
    response.contentType.clear();
    return response;
}

HttpResponse List(const HttpRequest& request, RequestJournal& journal) {
    const std::string& method = request.method;
    if (method == "DELETE") {
        journal.Clear();
        return NoContent();
    }
    if (method != "GET" && method != "HEAD") {
        return HttpResponse::NotAllowed("GET, HEAD, DELETE",
                                        "the request journal takes GET and DELETE");
    }
    const JournalQuery query = ReadQuery(request.Query(), false);
    if (!query.error.empty()) {
        return HttpResponse::Error(400, query.error);
    }
    return HttpResponse::Json(200, JournalReadJson(journal.Read(query.filter)));
}

HttpResponse Wait(const HttpRequest& request, RequestJournal& journal) {
    if (request.method != "GET") {
        return HttpResponse::NotAllowed("GET", "a wait for journal entries is made with GET");
    }
    const JournalQuery query = ReadQuery(request.Query(), true);
    if (!query.error.empty()) {
        return HttpResponse::Error(400, query.error);
    }
    JournalRead read =
        journal.Wait(query.filter, query.count, std::chrono::milliseconds(query.timeoutMs));
    if (read.complete) {
        return HttpResponse::Json(200, JournalReadJson(std::move(read)));
    }
    std::string error = std::to_string(read.entries.size()) + " of the " +
                        std::to_string(query.count) + " calls waited for were made within " +
                        std::to_string(query.timeoutMs) + " ms";
    return HttpResponse::Json(408, JournalReadJson(std::move(read), std::move(error)));
}

HttpResponse One(const HttpRequest& request, std::string_view id, RequestJournal& journal) {
    if (request.method != "GET" && request.method != "HEAD") {
        return HttpResponse::NotAllowed("GET, HEAD", "a journal entry is read with GET");
    }
    const std::optional<uint64_t> number = ParseDecimal(id);
    const std::optional<JournalEntry> entry =
        number ? journal.Find(*number) : std::optional<JournalEntry>();
    if (!entry) {
        return HttpResponse::Error(404,
                                   "no journal entry with id \"" + std::string(id) + "\" is kept");
    }
    return HttpResponse::Json(200, JournalEntryJson(*entry, true));
}

}  // namespace

HttpResponse HandleJournalRequest(const HttpRequest& request,
                                  std::string_view rest,
                                  RequestJournal& journal) {
    if (rest.empty() || rest == "/") {
        return List(request, journal);
    }
    if (rest == "/wait") {
        return Wait(request, journal);
    }
    return One(request, rest.substr(1), journal);
}

std::string JournalEventUri(const JournalEntry* entry) {
    return entry != nullptr ? std::string(kRequestsUri) + "/" + std::to_string(entry->id)
                            : std::string(kRequestsUri);
}

std::string JournalEventJson(const JournalEntry* entry) {
    // Without the bodies, which can be large: the console reads them when they are asked for.
    return "{\"data\":" +
           (entry != nullptr ? JournalEntryJson(*entry, false) : std::string("null")) +
           ",\"eventType\":" + (entry != nullptr ? "\"Create\"" : "\"Delete\"") +
           ",\"uri\":" + JsonQuote(JournalEventUri(entry)) + "}";
}

}  // namespace Kolm::Host
