// The game's generator must give, seed for seed, what the replays were recorded with: the GNU C
// library's rand(). Checked against that library where it is the one linked, and against its
// known first numbers everywhere (a Windows build has another rand()).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "game_random.h"

namespace {

std::vector<int> Draw(std::uint32_t seed, int count) {
    platform::GameRandom generator;
    generator.Seed(seed);
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) numbers.push_back(generator.Next());
    return numbers;
}

TEST(GameRandom, KnownFirstNumbers) {
    const std::vector<int> seedOne = {1804289383, 846930886, 1681692777, 1714636915, 1957747793};
    EXPECT_EQ(Draw(1, 5), seedOne);
    EXPECT_EQ(Draw(0, 5), seedOne);  // srand(0) is srand(1)
    platform::GameRandom unseeded;
    EXPECT_EQ(unseeded.Next(), seedOne[0]);
    // Reseeding starts the sequence again.
    platform::GameRandom generator;
    generator.Seed(7);
    generator.Next();
    generator.Seed(1);
    EXPECT_EQ(generator.Next(), seedOne[0]);
}

#ifdef __GLIBC__
TEST(GameRandom, SameAsTheCLibrary) {
    // Seeds at the edges of the signed range the seeding works in, and a recorded one.
    for (std::uint32_t seed :
         {2u, 42u, 1796708174u, 0x7fffffffu, 0x80000000u, 0xfffffffeu, 0xffffffffu, 3000000000u}) {
        std::srand(seed);
        const std::vector<int> numbers = Draw(seed, 2000);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(numbers[i], std::rand()) << seed << " #" << i;
    }
}
#endif

}  // namespace
