// Running the built programs from tests: a command with its environment, its exit code and
// standard error; scratch folders.
#pragma once

#include <string>

namespace testing_support {

// Result of running a program.
struct RunResult {
    int exitCode = -1;
    std::string standardError;
};
// Runs a shell command with the given environment assignments prepended, capturing stderr.
RunResult Run(const std::string& environment, const std::string& command);
// A fresh empty folder under the test's temporary directory.
std::string FreshFolder(const std::string& name);

}  // namespace testing_support
