// Host value trees from JSON text and back, as the simulated plugins hand them to the plugin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {
namespace {

// Copies: the packed record's numbers are unaligned, and the assertions take references.
double FloatOf(const OwnedHostValue& value) {
    return value.Get().payload.floatNumber;
}

TEST(HostValueJson, ANumberReadsAsTheNearestDoubleAndWritesBackAsGiven) {
    // Each is the shortest text of its double; a reader that rounds less carefully lands one
    // step off, and the value then changes every time it is written and read again.
    const std::pair<const char*, double> numbers[] = {
        {"1.2345678901231233e30", 1.2345678901231233e30},
        {"1.5444444444444457", 1.5444444444444457},
        {"554444444444.4445", 554444444444.4445},
        {"2.2250738585072014e-308", 2.2250738585072014e-308},
    };
    for (const auto& [text, number] : numbers) {
        const std::optional<OwnedHostValue> value = OwnedHostValue::FromJson(text);
        ASSERT_TRUE(value.has_value()) << text;
        ASSERT_EQ(value->Get().kind, HOST_VALUE_KIND_FLOAT) << text;
        EXPECT_EQ(FloatOf(*value), number) << text;
        EXPECT_EQ(value->ToJson(), text);
    }
}

TEST(HostValueJson, IntegersStayWholeInSixtyFourBitsAndOtherNumbersBecomeTheNearestDouble) {
    const std::optional<OwnedHostValue> largest = OwnedHostValue::FromJson("18446744073709551615");
    ASSERT_TRUE(largest.has_value());
    EXPECT_EQ(largest->Get().kind, HOST_VALUE_KIND_UNSIGNED);
    EXPECT_EQ(uint64_t{largest->Get().payload.unsignedNumber}, UINT64_MAX);
    const std::optional<OwnedHostValue> lowest = OwnedHostValue::FromJson("-9223372036854775808");
    ASSERT_TRUE(lowest.has_value());
    EXPECT_EQ(lowest->Get().kind, HOST_VALUE_KIND_SIGNED);
    EXPECT_EQ(int64_t{lowest->Get().payload.signedNumber}, INT64_MIN);

    const std::pair<const char*, double> doubles[] = {
        {"1844674407370955161592", 1844674407370955161592.0},  // longer than 64 bits
        {"-184467440737095516159", -184467440737095516159.0},
        {"5e-324", 5e-324},  // the smallest subnormal
        {"1e-400", 0.0},     // below it: zero
        {"-0.0", -0.0},
    };
    for (const auto& [text, number] : doubles) {
        const std::optional<OwnedHostValue> value = OwnedHostValue::FromJson(text);
        ASSERT_TRUE(value.has_value()) << text;
        ASSERT_EQ(value->Get().kind, HOST_VALUE_KIND_FLOAT) << text;
        EXPECT_EQ(FloatOf(*value), number) << text;
        EXPECT_EQ(std::signbit(FloatOf(*value)), std::signbit(number)) << text;
    }
    EXPECT_FALSE(OwnedHostValue::FromJson("[1e400]").has_value());  // no double is that big
    EXPECT_FALSE(OwnedHostValue::FromJson("[1,]").has_value());
}

}  // namespace
}  // namespace Kolm::Host
