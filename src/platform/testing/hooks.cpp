// Fault injection and the call trace.
#include <cstdlib>
#include <sstream>

#include "faults.h"
#include "trace.h"

namespace platform {
namespace {

struct FaultList {
    bool loaded = false;
    std::vector<std::string> calls;
};

FaultList& Faults() {
    static FaultList list;
    if (!list.loaded) {
        list.loaded = true;
        if (const char* env = std::getenv("TAVLO_FAIL")) SetFailingCalls(env);
    }
    return list;
}

bool tracing = false;

std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

}  // namespace

void SetFailingCalls(const std::string& calls) {
    FaultList& list = Faults();
    list.calls.clear();
    std::stringstream in(calls);
    std::string call;
    while (std::getline(in, call, ',')) {
        if (!call.empty()) list.calls.push_back(call);
    }
}

bool ShouldFail(const char* call) {
    for (const std::string& name : Faults().calls) {
        if (name == call) return true;
    }
    return false;
}

void EnableTrace(bool on) {
    tracing = on;
}
void Trace(std::string line) {
    if (tracing) Log().push_back(std::move(line));
}
const std::vector<std::string>& TraceLog() {
    return Log();
}
void ClearTrace() {
    Log().clear();
}

}  // namespace platform
