// The dispatch of a host request to an endpoint's handler: matching the URI against the
// endpoint's route, binding every argument from the path, query, headers, explicit host
// arguments and body, calling the handler and writing its response.
//
// Every failure ends the binding at once and is answered with its text and the error flag; the
// handler does not run then. Calls on several host threads at once are fine: each builds its own
// values, and the endpoints they read never change after load.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "api/endpoint.h"
#include "binding/binding_property.h"
#include "plugin/host_boundary.h"

namespace Kolm {

// The one handler function of every endpoint: fills `response` for `request`. Sets the release
// callback first, so the host can always release what it receives; never throws.
void ZC_HOST_CALL HandleEndpointRequest(HostResponse* response, const HostRequest* request);

// The query of `uri` (the text after its first "?"), split at "&" into decoded keys and values;
// a later key replaces an earlier one, a part without "=" has the empty value.
std::map<std::string, std::string> ParseQuery(std::string_view uri);

// Binds one named value: `key` is an argument name, optionally followed by a dotted path of field
// names and indices into it ("ids.0", "filter.name"). Fails `result` with the binding messages.
// New collection elements made by indices are charged to `elementBudget` (when given); an index
// that would exceed it is out of range.
void BindValue(BindingResult& result,
               std::vector<BindingProperty>& values,
               const Endpoint& endpoint,
               std::string_view key,
               std::string_view text,
               std::string_view contentType,
               ArgumentLocation location,
               size_t* elementBudget = nullptr);

// Binds a whole argument from its text: an empty text makes a bool true and an object,
// structure or vector empty; other texts are decoded, structured for objects, structures and
// vectors.
void BindWhole(BindingResult& result,
               BindingProperty& target,
               const EndpointArgument& argument,
               const Endpoint& endpoint,
               std::string_view text,
               std::string_view contentType);

// Decodes `text` by its content type, or, when `structured` and no type is given, by sniffing
// (MessagePack, JSON, YAML); otherwise keeps it as a string (or a blob for octet streams).
void Deserialise(BindingResult& result,
                 BindingProperty& target,
                 std::string_view text,
                 std::string_view contentType,
                 bool structured,
                 std::string_view argumentName,
                 std::string_view functionName);

}  // namespace Kolm
