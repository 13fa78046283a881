// Registration of every clubs record with the plugin's type registry: the API records, the web
// service's records, the records exchanged with other plugins, and their enumerations. After
// it the records convert to and from values, and so travel as JSON, under the registered names.
#pragma once

namespace Kolm {
class BindingTypeRegistry;
}

namespace Kolm::Client::Clubs::Api {

// Registers each enumeration and structure once (a second call changes nothing: the first
// registration of a name stands). Every referenced type is registered before its users.
void RegisterClubsTypes(BindingTypeRegistry& registry);

}  // namespace Kolm::Client::Clubs::Api
