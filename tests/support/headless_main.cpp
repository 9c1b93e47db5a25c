// The main of in-process tests: the platform runs on the headless host, as TAVLO_VIDEO=headless
// makes the program do, and is put back after every test, so that a binary passes when run
// whole as well as one test at a time.
#include <gtest/gtest.h>

#include "host_headless.h"
#include "test_resets.h"
#include "testing_reset.h"
#include "trace.h"

namespace {

class ResetAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { testing_support::RunTestResets(); }
};

}  // namespace

int main(int argc, char** argv) {
    host::SetHostFactory(headless::CreateHeadlessHost);
    platform::EnableTrace(true);
    testing_support::AddTestReset(platform::ResetApiForTests);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEachTest);
    return RUN_ALL_TESTS();
}
