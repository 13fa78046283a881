#include "tests/clubs/clubs_test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "host/boundary/owned_host_value.h"

namespace Kolm::ClubsTest {

namespace {

const char* MethodName(uint32_t method) {
    static const char* const kNames[] = {"",        "DELETE", "GET",  "HEAD",
                                         "OPTIONS", "PATCH",  "POST", "PUT"};
    return method < 8 ? kNames[method] : "";
}

std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> segments;
    std::stringstream stream(path);
    std::string segment;
    while (std::getline(stream, segment, '/')) {
        segments.push_back(segment);
    }
    return segments;
}

// The host's choice among endpoints: a literal template equal to the path wins at once;
// otherwise, among templates whose "{name}" pieces each take one path segment, the one with
// the shortest captures wins, the earlier one on a tie. -1: no match.
long CaptureLength(const std::string& pathTemplate, const std::string& path) {
    if (pathTemplate.find('{') == std::string::npos) {
        return pathTemplate == path ? 0 : -1;
    }
    const std::vector<std::string> pieces = Segments(pathTemplate);
    const std::vector<std::string> segments = Segments(path);
    if (pieces.size() != segments.size()) {
        return -1;
    }
    long length = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].empty() && pieces[i].front() == '{') {
            length += static_cast<long>(segments[i].size());
        } else if (pieces[i] != segments[i]) {
            return -1;
        }
    }
    return length;
}

}  // namespace

ClubsTestHost::ClubsTestHost() {
    std::string error;
    library_ = Host::PluginLibrary::Open(ZC_PLUGIN_LIBRARY_PATH, &error);
    EXPECT_NE(library_, nullptr) << error;
    context_.api = &table_.api;
    context_.clientWord = 0xC1AB5;

    login = plugins.Add("/zun-login");
    platformConfig = std::make_shared<Host::SimulatedPlatformConfig>();
    plugins.Add(platformConfig);
    notifications = std::make_shared<Host::SimulatedPlayerNotifications>();
    plugins.Add(notifications);
    summoner = std::make_shared<Host::SimulatedSummoner>();
    plugins.Add(summoner);
    chat = std::make_shared<Host::SimulatedChat>();
    plugins.Add(chat);
    messaging = std::make_shared<Host::SimulatedMessagingService>();
    plugins.Add(messaging);

    if (library_ != nullptr) {
        record_.versionMajor = 18;
        library_->Entry()(&record_);
        // A copy: the load record is packed, and a reference to its field would be misaligned.
        void* const instance = record_.instance;
        EXPECT_NE(instance, nullptr);
    }
}

ClubsTestHost::~ClubsTestHost() {
    if (started_ && record_.callbacks != nullptr) {
        record_.callbacks->Shutdown(record_.instance);
    }
}

bool ClubsTestHost::Init() {
    if (record_.callbacks == nullptr) {
        return false;
    }
    started_ = true;
    return record_.callbacks->Init(record_.instance, &context_) != 0;
}

ClubsTestHost& ClubsTestHost::From(const HostApi* api) {
    return Host::HostApiTable<ClubsTestHost>::OwnerOf(api);
}

void ClubsTestHost::SetSession(int state,
                               uint64_t accountId,
                               uint64_t summonerId,
                               const std::string& token,
                               Host::ResourceEventType type) {
    const json session = {
        {"state", state}, {"accountId", accountId}, {"summonerId", summonerId}, {"idToken", token}};
    login->Publish(type, "/zun-login/v1/session", Host::OwnedHostValue::Json(session.dump()));
}

void ClubsTestHost::DeleteSession() {
    login->Publish(Host::ResourceEventType::Delete, "/zun-login/v1/session",
                   Host::OwnedHostValue::Null());
}

void ClubsTestHost::SetPlatformValue(const std::string& path,
                                     const std::string& valueJson,
                                     Host::ResourceEventType type) {
    platformConfig->SetValue(path, Host::OwnedHostValue::Json(valueJson), type);
}

void ClubsTestHost::EnableClubs() {
    SetSession(1, kAccountId, kSummonerId, kToken);
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled", "true");
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubsQRXEnabled", "true");
    SetPlatformValue("/zun-platform-config/v1/namespaces/LoginDataPacket/platformId",
                     std::string("\"") + kPlatformId + "\"");
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl",
                     std::string("\"") + kServiceUrl + "\"");
}

void ClubsTestHost::SendMembershipMessage() {
    const std::string topic =
        std::string("/kolm-messaging-service/v1/message/clubs/v1/membership/") + kPlatformId + "/" +
        std::to_string(kAccountId);
    const json message = {
        {"resource", topic.substr(std::strlen("/kolm-messaging-service/v1/message/"))},
        {"service", "clubs"},
        {"version", "1"},
        {"timestamp", 1},
        {"payload", ""}};
    messaging->Publish(Host::ResourceEventType::Create, topic,
                       Host::OwnedHostValue::Json(message.dump()));
}

void ClubsTestHost::AddDefaultPlayer() {
    EXPECT_TRUE(service.AddPlayer({kPlatformId, kAccountId, kSummonerId, kToken}));
}

const HostFunctionEntry* ClubsTestHost::PickEndpoint(uint32_t method,
                                                     const std::string& uri) const {
    const HostApiDescription* description = record_.apiDescription;
    if (description == nullptr) {
        return nullptr;
    }
    const std::string path = uri.substr(0, uri.find('?'));
    const HostFunctionEntry* best = nullptr;
    long bestLength = -1;
    for (uint32_t i = 0; i < description->functionCount; ++i) {
        const HostFunctionEntry& entry = description->functions[i];
        if (entry.method != method) {
            continue;
        }
        const long length = CaptureLength(entry.pathTemplate, path);
        if (length < 0) {
            continue;
        }
        if (std::strchr(entry.pathTemplate, '{') == nullptr) {
            return &entry;
        }
        if (best == nullptr || length < bestLength) {
            best = &entry;
            bestLength = length;
        }
    }
    return best;
}

std::vector<ClubsTestHost::EndpointInfo> ClubsTestHost::Endpoints() const {
    std::vector<EndpointInfo> endpoints;
    const HostApiDescription* description = record_.apiDescription;
    for (uint32_t i = 0; description != nullptr && i < description->functionCount; ++i) {
        const HostFunctionEntry& entry = description->functions[i];
        EndpointInfo info{entry.name, entry.method, entry.pathTemplate, {}};
        for (const HostArgumentLocation* at = entry.argumentLocations;
             at != nullptr && info.argumentLocations.size() < entry.argumentCount; at = at->next) {
            info.argumentLocations.push_back(at->location);
        }
        endpoints.push_back(std::move(info));
    }
    return endpoints;
}

std::vector<std::string> ClubsTestHost::TypeFields(const std::string& typeName) const {
    std::vector<std::string> fields;
    const HostApiDescription* description = record_.apiDescription;
    for (uint32_t i = 0; description != nullptr && i < description->typeCount; ++i) {
        const HostTypeEntry& type = description->types[i];
        if (typeName != type.name) {
            continue;
        }
        for (const HostFieldEntry* field = type.fields; field != nullptr; field = field->next) {
            fields.push_back(field->name);
        }
    }
    return fields;
}

std::string ClubsTestHost::EndpointFor(uint32_t method, const std::string& uri) const {
    const HostFunctionEntry* entry = PickEndpoint(method, uri);
    return entry != nullptr ? entry->name : "";
}

RestReply ClubsTestHost::Call(uint32_t method,
                              const std::string& uri,
                              const std::string& body,
                              const std::string& contentType) {
    RestReply reply;
    const HostFunctionEntry* entry = PickEndpoint(method, uri);
    if (entry == nullptr) {
        reply.hasError = true;
        reply.errorText = "no endpoint";
        reply.status = 404;
        return reply;
    }
    HostRequest request{};
    request.method = method;
    request.uri = uri.c_str();
    request.dispatchRecord = entry->dispatchRecord;
    request.contentType = contentType.c_str();
    if (!body.empty()) {
        request.body = reinterpret_cast<const uint8_t*>(body.data());
        request.bodyLength = static_cast<uint32_t>(body.size());
    }
    HostResponse response{};
    entry->handler(&response, &request);
    reply.hasError = response.hasError != 0;
    reply.errorText = response.hasError && response.errorText ? response.errorText : "";
    reply.status = response.status;
    reply.value = json::parse(Host::HostValueToJson(response.value), nullptr, false);
    if (response.release != nullptr) {
        response.release(&response);
    }
    return reply;
}

std::vector<PublishedEvent> ClubsTestHost::Published() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return published_;
}

std::vector<PublishedEvent> ClubsTestHost::PublishedOn(const std::string& uri) const {
    std::vector<PublishedEvent> matching;
    for (PublishedEvent& event : Published()) {
        if (event.uri == uri) {
            matching.push_back(std::move(event));
        }
    }
    return matching;
}

std::vector<Host::WebRequest> ClubsTestHost::ServiceRequests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return serviceRequests_;
}

std::vector<LogLine> ClubsTestHost::LogLines() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return logLines_;
}

long ClubsTestHost::CountLines(int32_t level, const std::string& text) const {
    const std::vector<LogLine> lines = LogLines();
    return std::count(lines.begin(), lines.end(), LogLine{level, text});
}

void ClubsTestHost::ClearRecords() {
    std::lock_guard<std::mutex> guard(mutex_);
    published_.clear();
    serviceRequests_.clear();
    logLines_.clear();
}

void ClubsTestHost::SetServiceHook(ServiceHook hook) {
    std::lock_guard<std::mutex> guard(mutex_);
    serviceHook_ = std::move(hook);
}

void ClubsTestHost::SendRemotingRequest(const HostApi* api,
                                        HostResponse* response,
                                        const HostRequest* request) {
    From(api).plugins.Answer(*response, *request);
}

void ClubsTestHost::SendHttpRequest(const HostApi* api,
                                    HostHttpResponse* response,
                                    const HostHttpRequest* request) {
    ClubsTestHost& host = From(api);
    Host::WebRequest web;
    web.method = MethodName(request->method);
    web.url = request->url != nullptr ? request->url : "";
    for (uint32_t i = 0; i < request->headerCount; ++i) {
        web.headers[request->headers[i].name] = request->headers[i].value;
    }
    if (request->body != nullptr) {
        web.body.assign(reinterpret_cast<const char*>(request->body), request->bodyLength);
    }
    ServiceHook hook;
    {
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.serviceRequests_.push_back(web);
        hook = host.serviceHook_;
    }
    std::optional<Host::WebResponse> answer;
    if (hook) {
        answer = hook(web);
    }
    if (!answer) {
        answer = host.service.Handle(web);
    }

    HttpAnswer& kept = host.KeptAnswerOfThisThread();
    kept.body = answer->body;
    kept.headerTexts.assign(answer->headers.begin(), answer->headers.end());
    kept.headers.clear();
    for (const auto& [name, value] : kept.headerTexts) {
        kept.headers.push_back({name.c_str(), value.c_str()});
    }
    *response = HostHttpResponse{};
    response->transportCode = 0;
    response->status = static_cast<uint32_t>(answer->status);
    response->headers = kept.headers.empty() ? nullptr : kept.headers.data();
    response->headerCount = static_cast<uint32_t>(kept.headers.size());
    response->body = reinterpret_cast<const uint8_t*>(kept.body.data());
    response->bodyLength = static_cast<uint32_t>(kept.body.size());
}

ClubsTestHost::HttpAnswer& ClubsTestHost::KeptAnswerOfThisThread() {
    // Map nodes stay where they are while other threads add theirs, and only this thread
    // touches its own entry, so the reference may be used after the lock is let go.
    std::lock_guard<std::mutex> guard(mutex_);
    return httpAnswers_[std::this_thread::get_id()];
}

void ClubsTestHost::SendEvent(const HostApi* api, const HostEventRecord* event) {
    ClubsTestHost& host = From(api);
    if (std::strcmp(event->eventName, "OnJsonApiEvent") == 0) {
        const json payload = json::parse(Host::HostValueToJson(event->payload), nullptr, false);
        PublishedEvent published;
        if (payload.is_object()) {
            published.uri = payload.value("uri", "");
            const json& type = payload.contains("eventType") ? payload["eventType"] : json();
            if (type.is_number()) {
                published.eventType = type.get<int>();
            } else if (type.is_string()) {
                const std::string name = type.get<std::string>();
                published.eventType = name == "Create" ? 0 : name == "Update" ? 1 : 2;
            }
            published.data = payload.contains("data") ? payload["data"] : json();
        }
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.published_.push_back(std::move(published));
    }
    host.bus.Publish(event->eventName, event->payload);
}

void ClubsTestHost::SubscribeHostEvent(const HostApi* api,
                                       const char* eventName,
                                       uint32_t clientWord,
                                       HostEventCallback callback,
                                       void* userData,
                                       uint32_t kind) {
    From(api).bus.Subscribe(eventName, clientWord, callback, userData, kind);
}

void ClubsTestHost::UnsubscribeHostEvent(const HostApi* api,
                                         const char* eventName,
                                         uint32_t clientWord) {
    From(api).bus.Unsubscribe(eventName, clientWord);
}

void ClubsTestHost::WriteLog(const HostApi* api, int32_t level, const char* line) {
    ClubsTestHost& host = From(api);
    std::lock_guard<std::mutex> guard(host.mutex_);
    host.logLines_.push_back({level, line != nullptr ? line : ""});
}

}  // namespace Kolm::ClubsTest
