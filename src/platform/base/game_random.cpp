#include "game_random.h"

namespace platform {

void GameRandom::Seed(std::uint32_t seed) {
    if (seed == 0) seed = 1;
    // Each word is 16807 times the last modulo 2^31 - 1, the seed taken as a signed 32-bit
    // number and the products split so that nothing overflows (Schrage's method).
    auto word = static_cast<std::int32_t>(seed);
    state_[0] = seed;
    for (std::size_t i = 1; i < state_.size(); ++i) {
        const std::int32_t high = word / 127773;
        const std::int32_t low = word % 127773;
        word = 16807 * low - 2836 * high;
        if (word < 0) word += 2147483647;
        state_[i] = static_cast<std::uint32_t>(word);
    }
    front_ = 3;
    rear_ = 0;
    for (int i = 0; i < 310; ++i) Next();
}

int GameRandom::Next() {
    const std::uint32_t sum = state_[front_] + state_[rear_];
    state_[front_] = sum;
    front_ = front_ + 1 == static_cast<int>(state_.size()) ? 0 : front_ + 1;
    rear_ = rear_ + 1 == static_cast<int>(state_.size()) ? 0 : rear_ + 1;
    // The lowest bit is the least random: dropped.
    return static_cast<int>(sum >> 1);
}

namespace {
SeedFilter seedFilter = nullptr;
}  // namespace

void SetSeedFilter(SeedFilter filter) {
    seedFilter = filter;
}

unsigned FilterSeed(unsigned given) {
    return seedFilter ? seedFilter(given) : given;
}

GameRandom& TheGameRandom() {
    static GameRandom generator;
    return generator;
}

}  // namespace platform
