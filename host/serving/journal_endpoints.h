// The host's paths over the request journal:
//   GET    /zun-clubs-host/v1/requests?<filters>   200 {"dropped", "lastId", "entries": [...]}
//   DELETE /zun-clubs-host/v1/requests             204, every entry removed
//   GET    /zun-clubs-host/v1/requests/wait?<filters>&count=N&timeoutMs=T
//          200 as soon as N entries match, 408 with the ones that did when T has passed
//   GET    /zun-clubs-host/v1/requests/<id>        200, one entry; 404 when it is not kept
// Filters: service=<as fault rules name it>, method=<GET...>, path=<pattern, "*" one segment>,
// since=<entry id>. A parameter that cannot be read is answered 400 naming it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "host/serving/http/http_message.h"
#include "host/serving/request_journal.h"

namespace Kolm::Host {

// Bounds of a wait, so that no wait holds a worker for long.
constexpr std::size_t kMaxJournalWaitCount = 10000;
constexpr uint32_t kMaxJournalWaitMs = 60000;

// `rest` is the path after "/zun-clubs-host/v1/requests" ("", "/wait" or "/<id>").
HttpResponse HandleJournalRequest(const HttpRequest& request,
                                  std::string_view rest,
                                  RequestJournal& journal);

// The event stream's record of a new entry (null: the journal was cleared), and its uri.
std::string JournalEventJson(const JournalEntry* entry);
std::string JournalEventUri(const JournalEntry* entry);

}  // namespace Kolm::Host
