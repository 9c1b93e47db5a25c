// The game's random numbers. It seeds its generator from the calendar clock
// (srand(time(nullptr))) and draws with rand(). The program is linked with -Wl,--wrap=srand and
// -Wl,--wrap=rand, so both calls land here: a recording keeps the seed, a replay gives the
// recorded one, and the numbers come from our own generator (base/game_random.h), not the C
// library's, so that a replay plays alike on every build. The game's code is the same either
// way. (Only the program is linked so; nothing else reaches this file.)
#include "game_random.h"
#include "replay_session.h"

extern "C" void __wrap_srand(unsigned seed) {
    platform::TheGameRandom().Seed(host::replay::SeedForGame(seed));
}

extern "C" int __wrap_rand() {
    return platform::TheGameRandom().Next();
}
