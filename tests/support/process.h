// Running the built programs from tests: a program with its folder, environment and time limit,
// its exit code and standard error; scratch folders; the program in a folder of its own; reading
// a file whole. (Shell command lines and changing user are POSIX only.)
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

// Result of running a program.
struct RunResult {
    int exitCode = -1;  // 137 when the time limit ended it
    std::string standardError;
};

// A program run without a shell, with no standard input.
struct Launch {
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;                    // its working folder ("": this process's)
    std::vector<std::string> environment;  // "NAME=value", added to this process's
    int seconds = 60;                      // killed after this long
    std::size_t memoryLimit = 0;  // bytes it may reserve (address space; Windows: committed)
};
RunResult RunProgram(const Launch& launch);

// Whether the run ended with `exitCode` and said `message` on standard error (nothing at all
// where `message` is "").
bool EndedWith(const RunResult& result, int exitCode, const std::string& message);
// The whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// A fresh empty folder under the system's temporary folder, named after the test process (and
// after the same process in a death test's child, where that is a new process of its own).
std::string FreshFolder(const std::string& name);
// Removes the folder and all in it, read-only files too.
void RemoveFolder(const std::string& folder);

// A fresh folder where the built program runs as in a player's: tavlo.rka from the build and a
// "score.dat" holding the four bytes at `score` (none where it is null).
struct GameFolder {
    explicit GameFolder(const std::string& name, const char* score = "\0\0\0\0");
#ifndef _WIN32
    // Runs the program in the folder, `environment` before it and `arguments` after it.
    RunResult Tavlo(const std::string& environment, const std::string& arguments = "") const;
    // Runs it on the headless host with `script` (written to script.txt) as its input.
    RunResult Start(const std::string& script, const std::string& environment = "") const;
#endif
    // A file in the folder, whole.
    std::string Read(const std::string& name) const;

    std::string path;
};

#ifdef _WIN32
// Holds a file open, shared with nobody, as another program using it would, until destroyed.
class HeldOpen {
  public:
    explicit HeldOpen(const std::string& path);
    ~HeldOpen();
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool ok() const;

  private:
    void* handle_;
};
#else
// Runs a shell command with the given environment assignments prepended, capturing stderr.
RunResult Run(const std::string& environment, const std::string& command);
// For a forked child (a death test): gives `paths` to an ordinary user and becomes that user, so
// that permissions hold as they do for a player (root passes every check). False when it cannot.
bool BecomeOrdinaryUserOwning(std::initializer_list<const char*> paths);
#endif

}  // namespace testing_support
