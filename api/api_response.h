// ApiResponse, what an endpoint handler (and the clubs web-service client) returns: a value or a
// failure, with the HTTP status, status text, headers, format and an optional body stream.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "api/content_type.h"

namespace Kolm {

using ApiHeaders = std::map<std::string, std::string>;

// A body produced piecewise. Once written into a host response record the record owns the stream
// and destroys it from its release callback.
class ApiResponseStream {
  public:
    virtual ~ApiResponseStream() = default;

    // Copies at most `count` bytes into `buffer` and sets `count` to the number copied; clears
    // `more` once nothing further will come. False reports a read error.
    virtual bool Read(uint8_t* buffer, uint32_t& count, bool& more) = 0;
    // The total size in bytes, when known; 0 otherwise.
    virtual uint64_t Size() const = 0;
};

// Everything of a response but its value. A response made from a value has status 0, which the
// host takes as success; a failure carries its own status and text.
struct ApiResponseBase {
    bool success = true;
    std::string errorText;  // set when !success
    uint32_t status = 0;
    std::string statusText;
    uint8_t formatFlag = 0;
    uint32_t formatCode = 0;  // ContentFormat; codes outside 1 to 3 are written as 0
    ApiHeaders headers;
    std::shared_ptr<ApiResponseStream> stream;

    bool Succeeded() const { return success; }
    explicit operator bool() const { return success; }
    const std::string& ErrorText() const { return errorText; }

    // Turns the response into a failure with that status and text.
    void Fail(uint32_t failureStatus, std::string_view text) {
        success = false;
        status = failureStatus;
        errorText = std::string(text);
    }
};

// One typed form per value type. The value is converted to a Kolm::BindingProperty when the
// response is written out.
template <class T>
struct ApiResponse : ApiResponseBase {
    T value{};

    ApiResponse() = default;
    ApiResponse(T responseValue) : value(std::move(responseValue)) {}
    ApiResponse(T responseValue, uint32_t responseStatus) : value(std::move(responseValue)) {
        status = responseStatus;
    }

    static ApiResponse Failure(uint32_t failureStatus, std::string_view text) {
        ApiResponse response;
        response.Fail(failureStatus, text);
        return response;
    }

    // The failure of another response (of any value type), with its status and text.
    static ApiResponse FailureOf(const ApiResponseBase& other) {
        ApiResponse response;
        response.Fail(other.status, other.errorText);
        return response;
    }
};

}  // namespace Kolm
