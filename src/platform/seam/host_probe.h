// A probe that watches a host from outside, for measuring (bench/): when the game flipped, when
// its picture was on the window, when a key went down to it, and, for comparison, other ways of
// passing the game's waits. The shipped program installs none; the benchmarks' build of the
// program (bench/probe) does, from its environment.
#pragma once

#include <cstdint>

namespace host {

class Probe {
  public:
    virtual ~Probe() = default;
    // The game flipped its screen, at `at` (the monotonic clock, ns).
    virtual void Flipped(std::int64_t at) = 0;
    // The host looked at what to present, at `at`: whatever the game flipped since is on the
    // window now (or was found to be the picture there already).
    virtual void Presented(std::int64_t at) = 0;
    // A key went down to the game (a key press or a system key press).
    virtual void KeyDown(unsigned virtualKey, std::int64_t at) = 0;
    // The host is about to pass one of the game's waits: `justDrew` when the game changed the
    // screen since the last, `nextMillisecond` when the host's next millisecond begins. True
    // when the probe passed it its own way (the host then hands the thread back at once).
    virtual bool Wait(bool justDrew, std::int64_t nextMillisecond) = 0;
};

// The probe a host made from now on reports to (nullptr: none, as in the shipped program).
void SetProbe(Probe* probe);
Probe* CurrentProbe();

}  // namespace host
