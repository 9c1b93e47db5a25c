// The game seeds its generator from the calendar clock (srand(time(nullptr))). The program is
// linked with -Wl,--wrap=srand, so that call lands here: a recording keeps the seed, a replay
// gives the recorded one. The game's code is the same either way. (Only the program is linked
// so; nothing else reaches this file.)
#include "replay_session.h"

extern "C" void __real_srand(unsigned seed);

extern "C" void __wrap_srand(unsigned seed) {
    __real_srand(host::replay::SeedForGame(seed));
}
