#include "process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

RunResult Run(const std::string& environment, const std::string& command) {
    const char* tmp = std::getenv("TMPDIR");
    std::string errorFile =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-stderr-" + std::to_string(::getpid()) + ".txt";
    std::string line = environment + " " + command + " 2>" + errorFile + " </dev/null";
    int status = std::system(line.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errorFile);
    std::stringstream text;
    text << in.rdbuf();
    result.standardError = text.str();
    std::remove(errorFile.c_str());
    return result;
}

bool EndedWith(const RunResult& result, int exitCode, const std::string& message) {
    return result.exitCode == exitCode &&
           (message.empty() ? result.standardError.empty()
                            : result.standardError.find(message) != std::string::npos);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string FreshFolder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-test-" + std::to_string(::getpid()) + "-" + name;
    if (std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str()) != 0) {
        std::fprintf(stderr, "cannot make the folder %s\n", folder.c_str());
    }
    return folder;
}

bool BecomeOrdinaryUserOwning(std::initializer_list<const char*> paths) {
    if (::geteuid() != 0) return true;
    for (const char* path : paths) {
        if (::chown(path, 65534, 65534) != 0) return false;
    }
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

GameFolder::GameFolder(const std::string& name, const char* score) : path(FreshFolder(name)) {
    if (std::system(("cp '" TAVLO_BINARY_DIR "/tavlo.rka' '" + path + "/'").c_str()) != 0) {
        std::fprintf(stderr, "cannot copy tavlo.rka to %s\n", path.c_str());
    }
    if (score) std::ofstream(path + "/score.dat", std::ios::binary).write(score, 4);
}

RunResult GameFolder::Tavlo(const std::string& environment, const std::string& arguments) const {
    return Run("cd '" + path + "' && " + environment, TAVLO_BINARY " " + arguments);
}

RunResult GameFolder::Start(const std::string& script, const std::string& environment) const {
    std::ofstream(path + "/script.txt") << script;
    return Tavlo("TAVLO_VIDEO=headless TAVLO_INPUT=script.txt " + environment);
}

std::string GameFolder::Read(const std::string& name) const {
    return ReadFile(path + "/" + name);
}

}  // namespace testing_support
