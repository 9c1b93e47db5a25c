// The game's random numbers, the same on every build: the additive feedback generator that the
// GNU C library's rand() uses (31 words, taps 3 and 31, seeded through the minimal standard
// generator and run 310 steps before the first number), so that a seed gives the same numbers
// on Linux, on Windows (whose C runtime has another generator) and in the browser.
#pragma once

#include <array>
#include <cstdint>

namespace platform {

class GameRandom {
  public:
    // Numbers from 0 to kMax.
    static constexpr int kMax = 0x7fffffff;

    GameRandom() { Seed(1); }
    // As srand: seed 0 is taken as 1.
    void Seed(std::uint32_t seed);
    int Next();

  private:
    std::array<std::uint32_t, 31> state_{};
    int front_ = 0;  // the word that receives the sum
    int rear_ = 0;   // the word 3 places behind, added to it
};

// The one generator the game's rand and srand reach: every build of the game is linked with
// -Wl,--wrap=srand,--wrap=rand (tavlo_game_random in CMake), so that both calls land in
// game_random_link.cpp.
GameRandom& TheGameRandom();

// What the game's srand gives the generator: the game's seed, or the one a seed filter makes of
// it (the replay session's: recorded while recording, the recorded one while playing back).
using SeedFilter = unsigned (*)(unsigned given);
void SetSeedFilter(SeedFilter filter);
unsigned FilterSeed(unsigned given);

}  // namespace platform
