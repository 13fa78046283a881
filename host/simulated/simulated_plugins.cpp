#include "host/simulated/simulated_plugins.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "host/simulated/host_event_bus.h"

namespace Kolm::Host {

namespace {

std::atomic<std::size_t> outstandingAnswers{0};

// The empty status text every answer without one points at; never freed.
const char kEmptyText[] = "";

char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) {
        std::abort();
    }
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// True when `prefix` covers `path` up to a piece boundary: "/zun-login" serves
// "/zun-login/v1/session" but not "/zun-loginx".
bool ServesPath(const std::string& prefix, std::string_view path) {
    if (path.substr(0, prefix.size()) != prefix) {
        return false;
    }
    return path.size() == prefix.size() || path[prefix.size()] == '/' ||
           (!prefix.empty() && prefix.back() == '/');
}

}  // namespace

std::shared_ptr<SimulatedPlugin> SimulatedPlugins::Add(std::string pathPrefix) {
    auto plugin = std::make_shared<SimulatedPlugin>(std::move(pathPrefix));
    Add(plugin);
    return plugin;
}

void SimulatedPlugins::Add(std::shared_ptr<SimulatedPlugin> plugin) {
    plugin->AttachBus(&bus_);
    const Platform::MutexLock lock(mutex_);
    plugins_[plugin->PathPrefix()] = std::move(plugin);
}

void SimulatedPlugins::Remove(const std::string& pathPrefix) {
    const Platform::MutexLock lock(mutex_);
    plugins_.erase(pathPrefix);
}

std::shared_ptr<SimulatedPlugin> SimulatedPlugins::Find(std::string_view uri) const {
    std::string_view path = uri.substr(0, uri.find('?'));
    const Platform::MutexLock lock(mutex_);
    std::shared_ptr<SimulatedPlugin> best;
    for (const auto& [prefix, plugin] : plugins_) {
        if (ServesPath(prefix, path) && (!best || prefix.size() > best->PathPrefix().size())) {
            best = plugin;
        }
    }
    return best;
}

void SimulatedPlugins::Answer(HostResponse& response, const HostRequest& request) {
    SimulatedRequest call = SimulatedRequest::FromRecord(request);
    std::shared_ptr<SimulatedPlugin> target = Find(call.uri);
    if (!target) {
        WriteSimulatedAnswer(response, SimulatedAnswer::Error(404, "No plugin serves " + call.uri));
        return;
    }
    WriteSimulatedAnswer(response, target->Answer(call));
}

void WriteSimulatedAnswer(HostResponse& response, const SimulatedAnswer& answer) {
    std::memset(&response, 0, sizeof response);
    response.release = &SimulatedPlugins::ReleaseAnswer;
    response.value = CopyHostValue(answer.value.Get());
    response.hasError = answer.hasError ? 1 : 0;
    if (answer.errorText) {
        response.errorText = CopyText(*answer.errorText);
    }
    response.status = answer.status;
    response.statusText = kEmptyText;
    if (!answer.headers.empty()) {
        response.headers =
            static_cast<HostHeader*>(std::calloc(answer.headers.size(), sizeof(HostHeader)));
        for (const auto& [name, value] : answer.headers) {
            HostHeader& header = response.headers[response.headerCount++];
            header.name = CopyText(name);
            header.value = CopyText(value);
        }
    }
    if (answer.stream) {
        response.streamRead = &ScriptedStream::Read;
        response.streamRelease = &ScriptedStream::Release;
        response.streamSize = answer.stream->AnnouncedSize();
        response.streamContext = ScriptedStream::NewContext(answer.stream);
    }
    outstandingAnswers++;
}

void ZC_HOST_CALL SimulatedPlugins::ReleaseAnswer(HostResponse* response) {
    if (response == nullptr || response->release == nullptr) {
        return;  // already released: the record is zeroed
    }
    FreeHostValue(response->value);
    std::free(const_cast<char*>(response->errorText));
    if (response->statusText != kEmptyText) {
        std::free(const_cast<char*>(response->statusText));
    }
    for (uint32_t i = 0; i < response->headerCount; ++i) {
        std::free(const_cast<char*>(response->headers[i].name));
        std::free(const_cast<char*>(response->headers[i].value));
    }
    std::free(response->headers);
    // A stream the reader did not release yet goes with the record.
    if (response->streamRelease != nullptr && response->streamContext != nullptr) {
        response->streamRelease(response->streamContext);
    }
    std::memset(response, 0, sizeof *response);
    outstandingAnswers--;
}

std::size_t SimulatedPlugins::OutstandingAnswers() {
    return outstandingAnswers.load();
}

}  // namespace Kolm::Host
