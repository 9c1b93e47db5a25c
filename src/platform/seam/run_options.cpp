// The run's options, kept for the host.
#include "run_options.h"

namespace host {
namespace {

RunOptions runOptions;

}  // namespace

void SetRunOptions(const RunOptions& options) {
    runOptions = options;
}

const RunOptions& CurrentRunOptions() {
    return runOptions;
}

}  // namespace host
