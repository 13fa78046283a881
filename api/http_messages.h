// The HTTP message records of the API layer in one include: method codes, content types,
// ApiResponse, the request context and the outside-service request.
#pragma once

#include "api/api_response.h"
#include "api/content_type.h"
#include "api/http_method.h"
#include "api/http_transport.h"
#include "api/remoting_request.h"
