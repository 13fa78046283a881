// The clubs web-service client on arbitrary service answers. The first byte picks the answer's
// status, the rest is its body (and a club key): every operation must turn it into a record or a
// failure with a text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "binding/binding_type_registry.h"
#include "clubs/model/clubs_type_registration.h"
#include "clubs/service/clubs_service_client.h"

namespace {

using namespace Kolm::Client::Clubs;

const Kolm::BindingTypeRegistry& Registry() {
    static Kolm::BindingTypeRegistry* registry = [] {
        auto* created = new Kolm::BindingTypeRegistry();
        Api::RegisterClubsTypes(*created);
        return created;
    }();
    return *registry;
}

template <class Result>
void Check(const Result& result) {
    if (!result.Succeeded() && result.ErrorText().empty())
        __builtin_trap();
}

void FuzzClient(uint32_t status, std::string_view body) {
    ClubsServiceClient client(
        Registry(),
        [&](const Kolm::HttpBaseTransport::Request&) {
            ServiceHttpAnswer answer;
            answer.status = status;
            answer.body = std::string(body);
            return answer;
        },
        [] {
            return ClubsServicePlayer{"NA1", 1};
        });
    Check(client.GetMembership());
    Check(client.InitMembership());
    Check(client.GetClub(std::string(body)));
    Check(client.Promote("k", 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const uint32_t kStatuses[] = {200, 204, 299, 404, 500, 199, 300, 0};
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    FuzzClient(kStatuses[data[0] % 8], rest);
    return 0;
}
