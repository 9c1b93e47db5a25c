// How a run of the built program ends on the headless host: a row of a table of runs, and the
// check that runs it in a game folder of its own.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace testing_support {

struct EndCase {
    const char* name;
    const char* script;
    const char* environment;
    int exitCode;
    const char* message;  // expected on standard error; "" for none
};

inline void ExpectEnd(const EndCase& run) {
    const GameFolder folder(run.name);
    const RunResult result = folder.Start(run.script, run.environment);
    EXPECT_TRUE(EndedWith(result, run.exitCode, run.message))
        << "exit code " << result.exitCode << ", standard error: " << result.standardError;
}

inline std::string EndCaseName(const ::testing::TestParamInfo<EndCase>& info) {
    return info.param.name;
}

}  // namespace testing_support
