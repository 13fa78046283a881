// The built-in records of asynchronous operations and callback invocations: the states an
// operation goes through, the generic event payloads that report its progress, and the event
// "OnCallback". This program registers them for its API description and raises none of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_property.h"

namespace Kolm {

class BindingTypeRegistry;

namespace BindingAsyncState {

enum Type : std::int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
};

}  // namespace BindingAsyncState

struct BindingGenericEvent {
    BindingProperty data;
};

struct BindingCallbackEvent {
    std::uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    std::uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    std::uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    std::uint32_t asyncToken = 0;
};

// Registers "BindingAsyncState", the five event records and the event "OnCallback", in order.
void RegisterAsyncTypes(BindingTypeRegistry& registry);

}  // namespace Kolm
