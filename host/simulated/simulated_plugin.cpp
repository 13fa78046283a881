#include "host/simulated/simulated_plugin.h"

#include <cstdio>

#include "host/simulated/host_event_bus.h"

namespace Kolm::Host {

namespace {

constexpr std::string_view kPlatformConfigPiece = "zun-platform-config";

}  // namespace

const char* ResourceEventTypeName(ResourceEventType type) {
    switch (type) {
        case ResourceEventType::Create:
            return "Create";
        case ResourceEventType::Update:
            return "Update";
        case ResourceEventType::Delete:
            return "Delete";
    }
    return "";
}

std::string ResourceEventName(std::string_view uri) {
    std::string name = "OnJsonApiEvent";
    std::size_t limit = 3;
    std::size_t taken = 0;
    std::size_t position = 0;
    while (position < uri.size() && taken < limit) {
        std::size_t end = uri.find('/', position);
        end = end == std::string_view::npos ? uri.size() : end;
        std::string_view piece = uri.substr(position, end - position);
        position = end + 1;
        if (piece.empty()) {
            continue;
        }
        if (taken == 0 && piece == kPlatformConfigPiece) {
            limit = 5;
        }
        name += '_';
        name += piece;
        ++taken;
    }
    return name;
}

SimulatedRequest SimulatedRequest::FromRecord(const HostRequest& record) {
    SimulatedRequest request;
    request.method = record.method;
    if (record.method == HOST_METHOD_OTHER && record.methodName != nullptr) {
        request.methodName = record.methodName;
    }
    request.uri = record.uri != nullptr ? record.uri : "";
    std::size_t question = request.uri.find('?');
    request.path = request.uri.substr(0, question);
    if (question != std::string::npos) {
        request.query = request.uri.substr(question + 1);
    }
    for (uint32_t i = 0; record.arguments != nullptr && i < record.argumentCount; ++i) {
        const HostArgument& argument = record.arguments[i];
        Argument copy;
        if (argument.name != nullptr) {
            copy.name = std::string(argument.name);
        }
        copy.value = OwnedHostValue::Adopt(CopyHostValue(argument.value));
        request.arguments.push_back(std::move(copy));
    }
    request.callToken = record.callToken;
    return request;
}

std::size_t RecordBytes(const SimulatedRequest& request) {
    std::size_t bytes = sizeof(SimulatedRequest) + request.methodName.size() + request.uri.size() +
                        request.path.size() + request.query.size();
    for (const SimulatedRequest::Argument& argument : request.arguments) {
        bytes += sizeof(SimulatedRequest::Argument) + (argument.name ? argument.name->size() : 0) +
                 RecordBytes(argument.value);
    }
    return bytes;
}

std::string SimulatedRequest::FirstArgumentJson() const {
    return arguments.empty() ? "null" : arguments.front().value.ToJson();
}

SimulatedAnswer SimulatedAnswer::Value(OwnedHostValue value, uint32_t status) {
    SimulatedAnswer answer;
    answer.value = std::move(value);
    answer.status = status;
    return answer;
}

SimulatedAnswer SimulatedAnswer::Json(std::string_view json, uint32_t status) {
    return Value(OwnedHostValue::Json(json), status);
}

SimulatedAnswer SimulatedAnswer::Error(uint32_t status, std::string text) {
    SimulatedAnswer answer;
    answer.status = status;
    answer.hasError = true;
    answer.errorText = std::move(text);
    return answer;
}

SimulatedAnswer SimulatedAnswer::ErrorWithoutText(uint32_t status) {
    SimulatedAnswer answer;
    answer.status = status;
    answer.hasError = true;
    return answer;
}

SimulatedAnswer SimulatedAnswer::Stream(std::shared_ptr<ScriptedStream> stream, uint32_t status) {
    SimulatedAnswer answer;
    answer.status = status;
    answer.stream = std::move(stream);
    return answer;
}

SimulatedPlugin::SimulatedPlugin(std::string pathPrefix) : pathPrefix_(std::move(pathPrefix)) {}

void SimulatedPlugin::On(uint32_t method, std::string path, Handler handler) {
    const Platform::MutexLock lock(mutex_);
    handlers_[{method, std::move(path)}] = std::make_shared<Handler>(std::move(handler));
}

void SimulatedPlugin::SetResource(std::string path, OwnedHostValue value) {
    const Platform::MutexLock lock(mutex_);
    resources_[std::move(path)] = std::move(value);
}

std::optional<OwnedHostValue> SimulatedPlugin::Resource(const std::string& path) const {
    const Platform::MutexLock lock(mutex_);
    auto found = resources_.find(path);
    if (found == resources_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void SimulatedPlugin::Publish(ResourceEventType type,
                              const std::string& uri,
                              OwnedHostValue value) {
    HostEventBus* bus = nullptr;
    {
        const Platform::MutexLock lock(mutex_);
        if (type == ResourceEventType::Delete) {
            resources_.erase(uri);
        } else {
            resources_[uri] = value;
        }
        bus = bus_;
    }
    if (bus == nullptr) {
        return;
    }
    std::vector<std::pair<std::string, OwnedHostValue>> fields;
    fields.emplace_back("data", std::move(value));
    fields.emplace_back("eventType", OwnedHostValue::String(ResourceEventTypeName(type)));
    fields.emplace_back("uri", OwnedHostValue::String(uri));
    OwnedHostValue event = OwnedHostValue::Structure(std::move(fields));
    bus->Publish(ResourceEventName(uri), event.Get());
    bus->Publish("OnJsonApiEvent", event.Get());
}

SimulatedAnswer SimulatedPlugin::Answer(const SimulatedRequest& request) {
    std::shared_ptr<Handler> handler;
    std::optional<OwnedHostValue> resource;
    {
        const Platform::MutexLock lock(mutex_);
        received_.Add(request);
        auto found = handlers_.find({request.method, request.path});
        if (found != handlers_.end()) {
            handler = found->second;
        } else if (request.method == HOST_METHOD_GET) {
            auto held = resources_.find(request.path);
            if (held != resources_.end()) {
                resource = held->second;
            }
        }
    }
    if (handler) {
        return (*handler)(request);
    }
    if (resource) {
        return SimulatedAnswer::Value(std::move(*resource));
    }
    char text[512];
    std::snprintf(text, sizeof text, "No handler for %u %s", request.method, request.path.c_str());
    return SimulatedAnswer::Error(404, text);
}

std::vector<SimulatedRequest> SimulatedPlugin::ReceivedRequests() const {
    const Platform::MutexLock lock(mutex_);
    return received_.ToVector();
}

std::size_t SimulatedPlugin::RequestCount(uint32_t method, const std::string& path) const {
    const Platform::MutexLock lock(mutex_);
    std::size_t count = 0;
    for (const SimulatedRequest& request : received_.Items()) {
        count += request.method == method && request.path == path ? 1 : 0;
    }
    return count;
}

void SimulatedPlugin::SetRecordLimit(std::size_t limit) {
    const Platform::MutexLock lock(mutex_);
    received_.SetLimit(limit);
}

void SimulatedPlugin::AttachBus(HostEventBus* bus) {
    const Platform::MutexLock lock(mutex_);
    bus_ = bus;
}

}  // namespace Kolm::Host
