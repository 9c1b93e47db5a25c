// The call trace in a process whose main has not asked for it, as in the program: every
// palette hand-over and text draw would otherwise add a line for as long as the game runs.
#include <gtest/gtest.h>

#include "trace.h"

TEST(Trace, IsKeptOnlyWhileSwitchedOn) {
    for (int i = 0; i < 1000; ++i) platform::Trace("SetEntries 0 256");
    EXPECT_TRUE(platform::TraceLog().empty());
    platform::EnableTrace(true);
    platform::Trace("TextOutA 1 2 3");
    EXPECT_EQ(platform::TraceLog(), std::vector<std::string>{"TextOutA 1 2 3"});
    platform::EnableTrace(false);
    platform::Trace("TextOutA 4 5 6");
    EXPECT_EQ(platform::TraceLog().size(), 1u);
}
