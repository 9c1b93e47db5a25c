// The headless host's own controls, for tests that run the program in-process.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host.h"

namespace headless {
// What the host keeps of the screen: a copy of the last picture for a reader in the same
// process (LastPicture: the tests that run the game in-process), or none (the program, where
// nothing reads it: every picture copied would be a verify's second largest cost after its
// checksums). Captures (TAVLO_CAPTURE) are written either way.
enum class Pictures { KeepLast, Unkept };

// Made once per process, by the program's entry or a test's; without an argument it keeps the
// last picture.
host::Host* CreateHeadlessHost();
host::Host* CreateHeadlessHost(headless::Pictures pictures);

}  // namespace headless

namespace headless {

// Virtual milliseconds since the run started (the clock minus its start value).
std::uint64_t Elapsed();
// Posts an input event when the run reaches `atMs` (as a script line would).
void InjectEvent(std::uint64_t atMs, const host::InputEvent& event);
// Called each time the program finds its message queue empty, before the clock moves on.
void SetIdleHook(std::function<void()> hook);
// Called when the run passes TAVLO_TIME_LIMIT, just before the program ends with code 3.
void SetTimeLimitHook(std::function<void()> hook);

// The last picture the screen showed: width × height indices and the 256 colours in force (a
// host made with Pictures::Unkept keeps none unless it captures).
struct Picture : host::KeptScreen {
    host::ScreenChange cause = host::ScreenChange::Flip;
    std::uint64_t at = 0;
};
const Picture& LastPicture();
// How many times the screen has changed.
int ScreenChanges();

}  // namespace headless
