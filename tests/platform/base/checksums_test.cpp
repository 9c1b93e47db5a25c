// The checksums replays write: the standard ones, so that other tools agree.
#include <gtest/gtest.h>

#include "checksums.h"

using namespace platform;

namespace {

TEST(Checksums, StandardValues) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);  // CRC-32's check value
    EXPECT_EQ(Crc32("6789", 4, Crc32("12345", 5)), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(Hex(0xcbf43926u, 8), "cbf43926");
    EXPECT_EQ(Hex(0x2a, 4), "002a");
    EXPECT_EQ(Hex(0x12345, 2), "45");
}

}  // namespace
