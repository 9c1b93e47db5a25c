#include "trace_support.h"

#include "trace.h"

namespace testing_support {

int TraceCount(const std::string& prefix) {
    int count = 0;
    for (const std::string& line : platform::TraceLog()) {
        if (line.rfind(prefix, 0) == 0) ++count;
    }
    return count;
}

bool Traced(const std::string& line) {
    for (const std::string& traced : platform::TraceLog()) {
        if (traced == line) return true;
    }
    return false;
}

}  // namespace testing_support
