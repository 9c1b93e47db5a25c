// The SDL host's own settings: full screen or window, sharp or smooth scaling, the window's size.
// They are the host's business; the game knows nothing of them. Kept as a small text file,
// ${XDG_CONFIG_HOME:-~/.config}/tavlo/settings.conf, one `key=value` a line.
#pragma once

#include <string>

#include "sdl_scaling.h"

namespace host::sdl {

enum class WindowMode { FullScreen, Window };

struct Settings {
    WindowMode mode = WindowMode::FullScreen;
    Scaling scaling = Scaling::Sharp;
    int windowWidth = 960;  // 3× the game's screen
    int windowHeight = 720;
    bool operator==(const Settings&) const = default;
};

// The file's text for these settings.
std::string FormatSettings(const Settings& settings);
// Reads the file's text. Unknown keys, bad values, stray lines or an oversized text make the
// whole text count as damaged: `settings` is then the defaults and the result false. Keys that
// are missing keep their defaults.
[[nodiscard]] bool ParseSettings(const std::string& text, Settings& settings);

// ${XDG_CONFIG_HOME}/tavlo/settings.conf, or ~/.config/tavlo/settings.conf; empty when neither
// variable is set.
std::string SettingsPath();
// Reads the file at `path`. A missing or damaged file gives the defaults and is (re)written with
// them; nothing here ever fails the program.
Settings LoadSettings(const std::string& path);
// Writes the file (creating its folder); false when it cannot be written.
bool SaveSettings(const std::string& path, const Settings& settings);

}  // namespace host::sdl
