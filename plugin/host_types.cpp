#include "plugin/host_types.h"

#include "binding/binding_type_registry.h"

namespace Kolm::Client {

namespace {

// The host's name space, in which its shared records and events are known.
constexpr std::string_view kHostTag = "kclient";

void RegisterPluginManagerTypes(BindingTypeRegistry& registry) {
    registry.RegisterEnum<PluginManagerState>("PluginManagerState")
        .AddValue("NotReady", PluginManagerState::NotReady)
        .AddValue("PluginsInitialized", PluginManagerState::PluginsInitialized)
        .AddTag(kHostTag);
    registry.RegisterStruct<PluginManagerResource>("PluginManagerResource")
        .AddField("state", &PluginManagerResource::state)
        .AddTag(kHostTag);
}

void RegisterResourceEventTypes(BindingTypeRegistry& registry) {
    registry.RegisterEnum<PluginResourceEventType>("PluginResourceEventType")
        .AddValue("Create", PluginResourceEventType::Create)
        .AddValue("Update", PluginResourceEventType::Update)
        .AddValue("Delete", PluginResourceEventType::Delete)
        .AddTag(kHostTag);
    registry.RegisterStruct<PluginResourceEvent>("PluginResourceEvent")
        .AddField("uri", &PluginResourceEvent::uri)
        .AddField("eventType", &PluginResourceEvent::eventType)
        .AddField("data", &PluginResourceEvent::data)
        .AddTag(kHostTag);
}

void RegisterAppModuleTypes(BindingTypeRegistry& registry) {
    using namespace AppModule;
    registry.RegisterStruct<PluginLcdsEvent>("PluginLcdsEvent")
        .AddField("clientId", &PluginLcdsEvent::clientId)
        .AddField("subtopic", &PluginLcdsEvent::subtopic)
        .AddField("typeName", &PluginLcdsEvent::typeName)
        .AddField("body", &PluginLcdsEvent::body)
        .AddTag(kHostTag);
    registry.RegisterStruct<PluginLcdsResponse>("PluginLcdsResponse")
        .AddField("typeName", &PluginLcdsResponse::typeName)
        .AddField("body", &PluginLcdsResponse::body)
        .AddTag(kHostTag);
    registry.RegisterStruct<PluginServiceProxyResponse>("PluginServiceProxyResponse")
        .AddField("uuid", &PluginServiceProxyResponse::uuid)
        .AddField("serviceName", &PluginServiceProxyResponse::serviceName)
        .AddField("methodName", &PluginServiceProxyResponse::methodName)
        .AddField("payload", &PluginServiceProxyResponse::payload)
        .AddField("status", &PluginServiceProxyResponse::status)
        .AddField("error", &PluginServiceProxyResponse::error)
        .AddTag(kHostTag);
}

template <class T>
void RegisterHostEvent(BindingTypeRegistry& registry,
                       std::string_view name,
                       std::string_view description) {
    BindingEventRegistration registration = registry.RegisterEvent<T>(name);
    if (!registration.alreadyRegistered) {
        registration.SetDescription(description).AddTag(kHostTag);
    }
}

void RegisterHostEvents(BindingTypeRegistry& registry) {
    using AppModule::PluginLcdsEvent;
    using AppModule::PluginServiceProxyResponse;
    RegisterHostEvent<PluginResourceEvent>(registry, "OnJsonApiEvent",
                                           "Fired when a resource is changed.");
    RegisterHostEvent<PluginLcdsEvent>(
        registry, "OnLcdsEvent", "Fired when a message is received over the LCDS connection.");
    RegisterHostEvent<PluginServiceProxyResponse>(
        registry, "OnServiceProxyUuidEvent",
        "Fired when a uuid-based service proxy message is received.");
    RegisterHostEvent<PluginServiceProxyResponse>(
        registry, "OnServiceProxyMethodEvent",
        "Fired when a method-based service proxy message is received.");
    RegisterHostEvent<PluginServiceProxyResponse>(
        registry, "OnServiceProxyAsyncEvent",
        "Fired when an async service proxy message is received.");
}

}  // namespace

void RegisterHostTypes(BindingTypeRegistry& registry) {
    // Referenced types come before the records that use them.
    RegisterPluginManagerTypes(registry);
    RegisterResourceEventTypes(registry);
    RegisterAppModuleTypes(registry);
    RegisterHostEvents(registry);
}

}  // namespace Kolm::Client
