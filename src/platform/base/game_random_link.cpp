// The game's srand and rand. It seeds its generator from the calendar clock
// (srand(time(nullptr))) and draws with rand(). Every build of the game is linked with
// -Wl,--wrap=srand and -Wl,--wrap=rand (tavlo_game_random in CMake), so both calls land here: the
// numbers come from our own generator (game_random.h), not the C library's, so that a seed gives
// the same numbers on every build, and a replay session may keep or give the seed
// (SetSeedFilter). The game's code is the same either way. (Only the game's programs are linked
// so; nothing else reaches this file.)
#include "game_random.h"

extern "C" void __wrap_srand(unsigned seed) {
    platform::TheGameRandom().Seed(platform::FilterSeed(seed));
}

extern "C" int __wrap_rand() {
    return platform::TheGameRandom().Next();
}
