// Writing handler results into the host response record, and the record's release callback.
#pragma once

#include <string_view>

#include "api/api_response.h"
#include "binding/binding_property.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class BindingTypeRegistry;

// Zeroes the record and sets its release callback, so the host can release whatever it receives.
void ClearHostResponse(HostResponse& record);

// Frees everything the record owns (value, error and status texts, headers, stream) and zeroes
// all of it; a second call finds nothing to free.
void ZC_HOST_CALL ReleaseHostResponse(HostResponse* record);

// A call that failed before or instead of producing a value: error text, error flag, `status`.
void WriteFailureResponse(HostResponse& record, std::string_view text, uint32_t status);

// Writes a handler's response whose value was converted to `value` (a failed `value` result
// means the native value could not be converted). A value that cannot be represented for the
// host gives status 400 with the conversion's message as error text.
void WriteApiResponse(HostResponse& record,
                      const ApiResponseBase& response,
                      const BindingResult& value,
                      const BindingTypeRegistry* registry);

// The text written for an empty status text; never freed.
const char* SharedEmptyText();

}  // namespace Kolm
