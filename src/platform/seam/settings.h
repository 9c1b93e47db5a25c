// The player's settings: the language of the port's texts, the score server runs are sent to,
// and a window's choices (full screen or window, sharp or smooth scaling, the window's size,
// whether losing focus pauses the game, which keys and controller controls do what). The game
// knows nothing of them. Kept as a small text file, ${XDG_CONFIG_HOME:-~/.config}/tavlo/
// settings.conf, one `key=value` a line. The program's entry reads it once, at start, and gives
// each part of the program the fields it uses; a host that shows a window writes its choices
// back when the player changes them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bindings.h"
#include "catalog.h"

namespace host {

enum class WindowMode { FullScreen, Window };
// Sharp: the largest whole factor that fits, centred on black. Smooth: nearest-neighbour to that
// whole factor, then linear filtering up to the largest rectangle of the picture's shape that fits.
enum class Scaling { Sharp, Smooth };

// What a window's host shows the game with, and writes back when the player changes it.
struct DisplayChoices {
    WindowMode mode = WindowMode::FullScreen;
    Scaling scaling = Scaling::Sharp;
    int windowWidth = 960;  // 3× the game's screen
    int windowHeight = 720;
    bool operator==(const DisplayChoices&) const = default;
};

struct Settings {
    WindowMode mode = WindowMode::FullScreen;
    Scaling scaling = Scaling::Sharp;
    int windowWidth = 960;
    int windowHeight = 720;
    bool pauseOnFocusLoss = true;
    // The language of the port's own texts ("ja", "de_AT", "zh-Hans", "en"); empty: the
    // system's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; Windows' UI languages).
    std::string language = "";
    // The score server each run that sets a new best is sent to, and the name it is sent
    // under (submit_server, submit_name): both set, or the game sends nothing.
    std::string submitServer = "";
    std::string submitName = "";
    Bindings bindings = DefaultBindings();
    bool operator==(const Settings&) const = default;

    DisplayChoices Display() const { return {mode, scaling, windowWidth, windowHeight}; }
};

// The largest window side the file may ask for; the display's own size limits it further.
constexpr int kMaxWindowSide = 8192;
// The most a submit_name line may hold (the server takes names of 16 characters; a character
// may be several bytes).
constexpr std::size_t kMaxSubmitName = 64;

// The file's text for these settings.
std::string FormatSettings(const Settings& settings);
// Reads the file's text over the defaults. A line that is not a known `key=value` with a good
// value is skipped, with a note (its number and the line) added to `notes`; the other lines
// count. In a binding (`key.left=Left,A`) a name `names` does not know is skipped with a note
// naming the line, and the others count. A window side above kMaxWindowSide is held to it. A
// text longer than any file we write is not read at all (one note).
Settings ParseSettings(const std::string& text, const KeyNames& names,
                       std::vector<platform::Said>& notes);

// A window size held to what the display can show (its usable area), never below 320×240.
void FitWindowToDisplay(DisplayChoices& choices, int usableWidth, int usableHeight);

// ${XDG_CONFIG_HOME}/tavlo/settings.conf, or ~/.config/tavlo/settings.conf; empty when neither
// variable is set. Windows: %APPDATA%\Tavlo\settings.conf (the roaming application data known
// folder), unless XDG_CONFIG_HOME holds a whole path.
std::string SettingsPath();

// What LoadSettings found.
struct LoadedSettings {
    std::string path;
    Settings settings;
    // Nothing stood at the path: a host that writes the file makes it with the defaults.
    bool missing = false;
    // False when something that is not ours to replace stands at the path (a file we cannot
    // read, a folder, a FIFO): the settings are then never written back.
    bool mayWrite = true;
    // What was wrong with the file, for the host that writes it to say when it starts.
    std::vector<platform::Said> notes;
};
// Reads the file at `path`, the keys by `names`; every problem is a note, never an end of the
// program. Only a regular file is read (a FIFO does not hold start-up). Writes nothing and says
// nothing: a file with bad lines is read without them.
LoadedSettings LoadSettings(const std::string& path, const KeyNames& names);
// Writes the file (creating its folder) through a temporary file renamed over it; false when it
// cannot be written, the old file then kept.
bool SaveSettings(const std::string& path, const Settings& settings);

// Keeps a host's display choices in the file: written over the rest of the file as `loaded`
// read it, a line on standard error when that fails. Does nothing where the file is not ours
// to write (mayWrite, or no path).
using KeepDisplay = std::function<void(const DisplayChoices&)>;
KeepDisplay KeeperOf(const LoadedSettings& loaded);

}  // namespace host
