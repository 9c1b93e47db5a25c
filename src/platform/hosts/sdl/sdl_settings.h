// The SDL host's own settings: full screen or window, sharp or smooth scaling, the window's size,
// whether losing focus pauses the game, which keys and controller controls do what. They are
// the host's business; the game knows nothing of them. Kept as a small text file,
// ${XDG_CONFIG_HOME:-~/.config}/tavlo/settings.conf, one `key=value` a line.
#pragma once

#include <string>
#include <vector>

#include "sdl_bindings.h"
#include "sdl_scaling.h"

namespace host::sdl {

enum class WindowMode { FullScreen, Window };

struct Settings {
    WindowMode mode = WindowMode::FullScreen;
    Scaling scaling = Scaling::Sharp;
    int windowWidth = 960;  // 3× the game's screen
    int windowHeight = 720;
    bool pauseOnFocusLoss = true;
    // The language of the port's own texts ("ja", "de_AT", "zh-Hans", "en"); empty: the
    // system's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; Windows' UI languages).
    std::string language = "";
    // The score server each run that sets a new best is sent to, and the name it is sent
    // under (submit_server, submit_name): both set, or the game sends nothing. The entry reads
    // them (ReadSubmitSettings); the host only keeps them when it writes the file.
    std::string submitServer = "";
    std::string submitName = "";
    Bindings bindings = DefaultBindings();
    bool operator==(const Settings&) const = default;
};

// The largest window side the file may ask for; the display's own size limits it further.
constexpr int kMaxWindowSide = 8192;

// The file's text for these settings.
std::string FormatSettings(const Settings& settings);
// Reads the file's text over the defaults. A line that is not a known `key=value` with a good
// value is skipped, with a note (its number and the line) added to `notes`; the other lines
// count. In a binding (`key.left=Left,A`) a name SDL does not know is skipped with a note naming
// the line, and the others count. A window side above kMaxWindowSide is held to it. A text
// longer than any file we write is not read at all (one note).
Settings ParseSettings(const std::string& text, std::vector<std::string>& notes);
// The most a submit_name line may hold (the server takes names of 16 characters; a character
// may be several bytes).
constexpr std::size_t kMaxSubmitName = 64;

// The settings file's score server and name, both set, or both empty: for the entry, which
// sends runs after the game; its notes are the host's to say. Reads nothing but `path`.
struct SubmitSettings {
    std::string server;
    std::string name;
};
SubmitSettings ReadSubmitSettings(const std::string& path);

// A window size held to what the display can show (its usable area), never below 320×240.
void FitWindowToDisplay(Settings& settings, int usableWidth, int usableHeight);

// ${XDG_CONFIG_HOME}/tavlo/settings.conf, or ~/.config/tavlo/settings.conf; empty when neither
// variable is set. Windows: %APPDATA%\Tavlo\settings.conf (the roaming application data known
// folder), unless XDG_CONFIG_HOME holds a whole path.
std::string SettingsPath();

// What LoadSettings found.
struct LoadedSettings {
    Settings settings;
    // False when something that is not ours to replace stands at the path (a file we cannot
    // read, a folder, a FIFO): the settings are then never written back.
    bool mayWrite = true;
};
// Reads the file at `path`; every problem is a note on stderr, never an end of the program. Only
// a regular file is read (a FIFO does not hold start-up). A missing file is written with the
// defaults; a file with bad lines is read without them and left as it is.
LoadedSettings LoadSettings(const std::string& path);
// Writes the file (creating its folder) through a temporary file renamed over it; false when it
// cannot be written, the old file then kept.
bool SaveSettings(const std::string& path, const Settings& settings);

}  // namespace host::sdl
