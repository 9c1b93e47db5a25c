// What the command line asked of the host for this run, beside its own saved settings.
#pragma once

#include <optional>
#include <string>

namespace host {

struct RunOptions {
    std::optional<bool> window;  // --window (true) or --fullscreen (false)
    std::optional<bool> smooth;  // --smooth (true) or --sharp (false)
};

// Set by the program's entry before the host is made; read by the host when it starts.
void SetRunOptions(const RunOptions& options);
const RunOptions& CurrentRunOptions();

// What the platform adds below a message box's text so that the player can act on it: which
// file could not be opened and where it was looked for. Set by the program's entry, which knows
// the game's data files; without it, nothing is added.
using MessageNote = std::string (*)(const std::string& textUtf8);
void SetMessageNote(MessageNote note);
// The note for this text; empty when there is none.
std::string NoteForMessage(const std::string& textUtf8);

}  // namespace host
