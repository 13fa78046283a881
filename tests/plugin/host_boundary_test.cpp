#include "plugin/host_boundary.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "tests/plugin/host_boundary_c_layout.h"

namespace {

TEST(HostBoundaryTest, CAndCppSeeTheSameLayout) {
    const std::size_t cpp[] = {
        sizeof(HostValue),
        sizeof(HostValueEntry),
        sizeof(PluginLoadRecord),
        sizeof(PluginCallbacks),
        sizeof(HostContext),
        sizeof(HostApi),
        sizeof(HostEventRecord),
        sizeof(HostEventDelivery),
        offsetof(HostApi, WriteLog),
        offsetof(PluginLoadRecord, apiDescription),
        offsetof(HostValue, payload.string.length),
        offsetof(HostEventDelivery, userData),
    };
    for (int i = 0; i < static_cast<int>(std::size(cpp)); ++i) {
        EXPECT_EQ(ZcBoundaryLayoutFromC(i), cpp[i]) << "entry " << i;
    }
}

TEST(HostBoundaryTest, BoolSitsInTheFirstPayloadByteOfTheNumber) {
    HostValue value;
    std::memset(&value, 0, sizeof(value));
    value.kind = HOST_VALUE_KIND_BOOL;
    value.payload.boolean = 1;
    EXPECT_EQ(std::uint64_t{value.payload.unsignedNumber},
              1u);  // little-endian targets only, as the host
}

}  // namespace
