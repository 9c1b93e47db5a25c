// What each test leaves behind is undone before the next one runs in the same process.
#pragma once

namespace testing_support {

// Adds a step to run after every test; steps run newest first (the game's before the
// platform's). Adding the same step again does nothing.
void AddTestReset(void (*reset)());
void RunTestResets();

}  // namespace testing_support
