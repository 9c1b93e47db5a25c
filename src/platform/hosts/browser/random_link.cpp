// The game's srand and rand in the page: the page is linked with -Wl,--wrap=srand and
// -Wl,--wrap=rand, so they reach our generator (base/game_random.h), the one every build uses,
// rather than the C library's.
#include "game_random.h"

extern "C" void __wrap_srand(unsigned seed) {
    platform::TheGameRandom().Seed(seed);
}

extern "C" int __wrap_rand() {
    return platform::TheGameRandom().Next();
}
