#include <cstdio>

#include "startup.h"

namespace host {

void PrepareProcess() {}

void ReportFatal(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

}  // namespace host
