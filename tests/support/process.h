// Running the built programs from tests: a command with its environment, its exit code and
// standard error; scratch folders; the program in a folder of its own; reading a file whole.
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
// Whether the run ended with `exitCode` and said `message` on standard error (nothing at all
// where `message` is "").
bool EndedWith(const RunResult& result, int exitCode, const std::string& message);
// The whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// A fresh empty folder under the test's temporary directory.
std::string FreshFolder(const std::string& name);
// For a forked child (a death test): gives `paths` to an ordinary user and becomes that user, so
// that permissions hold as they do for a player (root passes every check). False when it cannot.
bool BecomeOrdinaryUserOwning(std::initializer_list<const char*> paths);

// A fresh folder where the built program runs as in a player's: tavlo.rka from the build and a
// "score.dat" holding the four bytes at `score` (none where it is null).
struct GameFolder {
    explicit GameFolder(const std::string& name, const char* score = "\0\0\0\0");
    // Runs the program in the folder, `environment` before it and `arguments` after it.
    RunResult Tavlo(const std::string& environment, const std::string& arguments = "") const;
    // Runs it on the headless host with `script` (written to script.txt) as its input.
    RunResult Start(const std::string& script, const std::string& environment = "") const;
    // A file in the folder, whole.
    std::string Read(const std::string& name) const;

    std::string path;
};

}  // namespace testing_support
