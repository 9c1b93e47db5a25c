// What the command line asked of the host for this run, beside its own saved settings.
#pragma once

#include <optional>

namespace host {

struct RunOptions {
    std::optional<bool> window;  // --window (true) or --fullscreen (false)
    std::optional<bool> smooth;  // --smooth (true) or --sharp (false)
};

// Set by the program's entry before the host is made; read by the host when it starts.
void SetRunOptions(const RunOptions& options);
const RunOptions& CurrentRunOptions();

}  // namespace host
