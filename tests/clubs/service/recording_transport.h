// A stand-in for the host's HTTP transport: records every request the client sends and answers
// each with the next scripted response (an empty 200 once the script runs out).
#pragma once

#include <deque>
#include <vector>

#include "api/http_transport.h"
#include "clubs/service/clubs_service_client.h"

namespace Kolm::Client::Clubs {

struct RecordingTransport {
    std::vector<HttpBaseTransport::Request> requests;
    std::deque<ServiceHttpAnswer> answers;

    // With a transport code other than 0 the text is the transport's message.
    void Answer(uint32_t status, std::string text, int32_t transportCode = 0) {
        ServiceHttpAnswer answer;
        answer.transportCode = transportCode;
        if (transportCode == 0) {
            answer.status = status;
            answer.body = std::move(text);
        } else {
            answer.errorText = std::move(text);
        }
        answers.push_back(std::move(answer));
    }

    void Answer(ServiceHttpAnswer answer) { answers.push_back(std::move(answer)); }

    ClubsServiceClient::SendFunction Sender() {
        return [this](const HttpBaseTransport::Request& request) {
            requests.push_back(request);
            ServiceHttpAnswer answer;
            answer.status = 200;
            answer.body = "{}";
            if (!answers.empty()) {
                answer = std::move(answers.front());
                answers.pop_front();
            }
            return answer;
        };
    }
};

}  // namespace Kolm::Client::Clubs
