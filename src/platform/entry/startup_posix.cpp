#include <cstdio>

#include "startup.h"

namespace entry {

void PrepareProcess() {}

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void Print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

void PrintError(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

void LeaveConsole() {}

void ReportFatal(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

}  // namespace entry
