// What the OpenAPI document says about the clubs API beyond the plugin's own description: the
// error answers each endpoint can give (the plugin's 404 texts, the web service's refusals
// passed through) and examples taken from the default world.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Kolm::Host {

struct ClubsOperationAnswers {
    std::vector<std::string> notFound;  // the exact texts of the plugin's own 404 answers
    bool emptyNotFound = false;         // 404 with an empty text as the value, not an error
    bool serviceRefusals = false;       // calls the web service and passes its refusals on
};

// By the endpoint's method ("GET") and path template; nothing for paths it does not know.
ClubsOperationAnswers ClubsAnswers(std::string_view method, std::string_view pathTemplate);

// A JSON example of a request body of the registered type, "" when none is known.
std::string RequestBodyExample(std::string_view typeName);
// A JSON example of a path parameter, "" when none is known.
std::string PathParameterExample(std::string_view name);

}  // namespace Kolm::Host
