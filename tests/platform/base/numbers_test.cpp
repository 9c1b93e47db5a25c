// The numbers scripts, replays and variables are read with.
#include <cstdint>

#include <gtest/gtest.h>

#include "numbers.h"

struct NumberCase {
    const char* text;
    std::uint64_t limit;
    bool accepted;
    std::uint64_t value;
};

class Numbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, AreAcceptedOnlyInsideTheirLimit) {
    const NumberCase& c = GetParam();
    std::uint64_t value = 12345;
    EXPECT_EQ(platform::ParseUnsigned(c.text, c.limit, value), c.accepted) << c.text;
    if (c.accepted) {
        EXPECT_EQ(value, c.value) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Numbers,
    ::testing::Values(NumberCase{"0", 0, true, 0}, NumberCase{"1", 0, false, 0},
                      NumberCase{"4294967295", UINT32_MAX, true, UINT32_MAX},
                      NumberCase{"4294967296", UINT32_MAX, false, 0},
                      // 2^64 + 3 and 2^64 + 19 wrap to 3 and 19 when not checked first.
                      NumberCase{"18446744073709551619", UINT64_MAX, false, 0},
                      NumberCase{"18446744073709551619", UINT64_MAX / 10, false, 0},
                      NumberCase{"18446744073709551615", UINT64_MAX, true, UINT64_MAX},
                      NumberCase{"0000000000000000000000000000000042", 255, true, 42},
                      NumberCase{"", 10, false, 0}, NumberCase{"-1", 10, false, 0},
                      NumberCase{"+1", 10, false, 0}, NumberCase{"1 ", 10, false, 0}));
