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
    std::deque<HttpBaseTransport::Response> answers;

    void Answer(uint32_t status, std::string body, int32_t transportCode = 0) {
        HttpBaseTransport::Response response;
        response.status = status;
        response.body = std::move(body);
        response.transportCode = transportCode;
        answers.push_back(std::move(response));
    }

    ClubsServiceClient::SendFunction Sender() {
        return [this](HttpBaseTransport::Response& response,
                      const HttpBaseTransport::Request& request) {
            requests.push_back(request);
            if (answers.empty()) {
                response.status = 200;
                response.body = "{}";
                return;
            }
            response = std::move(answers.front());
            answers.pop_front();
        };
    }
};

}  // namespace Kolm::Client::Clubs
