// Running the built programs from tests: a command with its environment, its exit code and
// standard error; scratch folders; reading a file whole.
#pragma once

#include <initializer_list>
#include <string>

namespace testing_support {

// Result of running a program.
struct RunResult {
    int exitCode = -1;
    std::string standardError;
};
// Runs a shell command with the given environment assignments prepended, capturing stderr.
RunResult Run(const std::string& environment, const std::string& command);
// The whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// A fresh empty folder under the test's temporary directory.
std::string FreshFolder(const std::string& name);
// For a forked child (a death test): gives `paths` to an ordinary user and becomes that user, so
// that permissions hold as they do for a player (root passes every check). False when it cannot.
bool BecomeOrdinaryUserOwning(std::initializer_list<const char*> paths);

}  // namespace testing_support
