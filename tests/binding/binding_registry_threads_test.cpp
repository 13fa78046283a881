#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "binding/binding_conversion.h"
#include "binding/binding_type_registry.h"

namespace Kolm {
namespace {

template <int N>
struct Tagged {
    std::int32_t value = N;
};

template <int N>
void RegisterAndUse(BindingTypeRegistry& registry) {
    registry.RegisterStruct<Tagged<N>>("Tagged" + std::to_string(N))
        .AddField("value", &Tagged<N>::value);
    for (int round = 0; round < 200; ++round) {
        const BindingResult value = ToBinding(Tagged<N>{}, registry);
        ASSERT_TRUE(value.success) << value.ErrorText();
        EXPECT_EQ(N, value.value.Find("value").GetSigned());
        EXPECT_NE(nullptr, registry.FindTypeByName("BindingFullApiHelp"));
        EXPECT_GE(registry.TypesSnapshot().size(), 15u);
    }
}

TEST(BindingRegistryThreadsTest, RegistrationsAndLookUpsOnSeveralThreadsMeetUnderTheMutex) {
    BindingTypeRegistry registry;
    registry.RegisterBuiltins();
    std::vector<std::thread> threads;
    threads.emplace_back([&] { RegisterAndUse<1>(registry); });
    threads.emplace_back([&] { RegisterAndUse<2>(registry); });
    threads.emplace_back([&] { RegisterAndUse<3>(registry); });
    threads.emplace_back([&] { RegisterAndUse<4>(registry); });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(19u, registry.TypesSnapshot().size());
}

}  // namespace
}  // namespace Kolm
