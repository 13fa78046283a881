#include "binding/binding_async_types.h"

#include "binding/binding_type_registry.h"

namespace Kolm {

void RegisterAsyncTypes(BindingTypeRegistry& registry) {
    using namespace BindingAsyncState;

    registry.RegisterEnum<Type>("BindingAsyncState")
        .AddValue("None", None, "Invalid state")
        .AddValue("Running", Running, "The operation is in flight")
        .AddValue("Cancelling", Cancelling, "A request to cancel the operation has been made")
        .AddValue("Cancelled", Cancelled, "The operation was cancelled")
        .AddValue("Succeeded", Succeeded, "The operation completed successfully")
        .AddValue("Failed", Failed, "The operation encountered an error")
        .SetDescription("Possible states of an asynchronous operation.")
        .SetTags({"$builtin", "async"});

    registry.RegisterStruct<BindingGenericEvent>("BindingGenericEvent")
        .AddField("data", &BindingGenericEvent::data, "Event data")
        .SetDescription("Represents generic data for an event.")
        .SetTags({"$builtin"});

    registry.RegisterStruct<BindingCallbackEvent>("BindingCallbackEvent")
        .AddField("id", &BindingCallbackEvent::id, "ID of the callback being invoked")
        .AddField("parameters", &BindingCallbackEvent::parameters, "Callback parameters")
        .SetDescription("Represents the parameters of a call to a provided callback.")
        .SetTags({"$builtin"});

    registry.RegisterStruct<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
        .AddField("asyncToken", &BindingGenericAsyncEvent::asyncToken,
                  "Asynchronous operation token")
        .AddField("data", &BindingGenericAsyncEvent::data, "Event data")
        .SetDescription("Represents generic data for an asynchronous event.")
        .SetTags({"$builtin", "async"});

    registry.RegisterStruct<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
        .AddField("asyncToken", &BindingAsyncFailureEvent::asyncToken,
                  "Asynchronous operation token")
        .AddField("error", &BindingAsyncFailureEvent::error, "Error message")
        .SetDescription("Represents a failed asynchronous operation.")
        .SetTags({"$builtin", "async"});

    registry.RegisterStruct<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
        .AddField("asyncToken", &BindingAsyncCancelEvent::asyncToken,
                  "Asynchronous operation token")
        .SetDescription("Represents a cancelled asynchronous operation.")
        .SetTags({"$builtin", "async"});

    registry.RegisterEvent<BindingCallbackEvent>("OnCallback")
        .SetDescription("Fired when a callback is invoked.")
        .AddTag("$builtin");
}

}  // namespace Kolm
