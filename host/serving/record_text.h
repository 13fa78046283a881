// A described record (host/documents/record_map.h) as the compact JSON text of an answer or an
// event, and a request body read into one: the host's paths read and write their records only
// through their descriptions.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <optional>
#include <string>

#include "host/boundary/bounded_json.h"
#include "host/documents/record_reader.h"
#include "host/documents/record_writer.h"
#include "host/serving/http/http_message.h"

namespace Kolm::Host {

template <class T>
std::string RecordText(const T& record) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    WriteValue(w, record);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Reads a request body into `record`; the 400 that says what is wrong (naming the field, in
// quotes) when it cannot be. `example` is a body that would do, shown when it is no object.
template <DescribedRecord T>
std::optional<HttpResponse> ReadBodyRecord(const std::string& body,
                                           const std::string& example,
                                           T& record) {
    rapidjson::Document json;
    const BoundedJson read = ParseBoundedJson(body, json);
    if (!read.refusal.empty()) {
        return HttpResponse::Error(400, "the body " + read.refusal);
    }
    if (!read || !json.IsObject()) {
        return HttpResponse::Error(400, "the body must be a JSON object, such as " + example);
    }
    if (std::string error = ReadDocument(json, record, FieldNaming::Quoted, "the body");
        !error.empty()) {
        return HttpResponse::Error(400, error);
    }
    return std::nullopt;
}

}  // namespace Kolm::Host
