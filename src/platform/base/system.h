// The few operating-system calls the platform makes outside its file and folder modules, one
// implementation a system: system_posix.cpp (Linux; the browser's C library too) and
// system_win32.cpp (Windows). Names are UTF-8 on both.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

// Sets an environment variable for this process and the programs it starts (setenv).
// `overwrite` false leaves a variable that is already set alone.
bool SetEnvironment(const char* name, const std::string& value, bool overwrite = true);
// Removes an environment variable (unsetenv).
bool UnsetEnvironment(const char* name);

// While it lives, the environment names a locale whose characters are UTF-8: C.UTF-8 in LC_ALL
// when the locale the environment names cannot be had or is not UTF-8 (C, or a locale that was
// never generated), LC_ALL as it was again afterwards. For a library that draws text in the
// environment's locale (SDL's X11 dialogs), which would otherwise cut the text at its first
// character beyond ASCII. Nothing on Windows, whose dialogs take UTF-16.
class Utf8Locale {
  public:
    Utf8Locale();
    ~Utf8Locale();
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

  private:
    bool changed_ = false;
    bool hadAll_ = false;
    std::string all_;
};

// Makes a new, empty folder named `prefix` followed by a few random characters, readable only by
// this user (mkdtemp); its name, or "" with errno set.
std::string MakeScratchFolder(const std::string& prefix);

// The working folder ("." when it cannot be read), and moving into another (chdir; false with
// errno set).
std::string CurrentFolder();
bool ChangeFolder(const std::string& path);

// A steady clock in nanoseconds (CLOCK_MONOTONIC; the performance counter on Windows), and
// sleeping until it reads `when` or later. The sleep ends within about a millisecond: on Windows
// through a high-resolution waitable timer, or with the system timer at 1 ms
// (timeBeginPeriod) where there is none.
std::int64_t MonotonicNanoseconds();
void SleepUntil(std::int64_t when);

// The local calendar time of `when` (localtime_r).
std::tm LocalTime(std::time_t when);

// Where a symbolic link at `path` points, or "" when there is none there.
std::string LinkTargetOf(const std::string& path);

// The running program's own file, links resolved (/proc/self/exe; GetModuleFileNameW), or ""
// when the system cannot say.
std::string ExecutablePath();

enum class UserFolder {
    Config,    // settings: ${XDG_CONFIG_HOME:-~/.config}; Windows: %APPDATA%
    Data,      // the game's own folder's parent: ${XDG_DATA_HOME:-~/.local/share}; %LOCALAPPDATA%
    Pictures,  // screenshots' parent: the XDG pictures folder; the Pictures known folder
};
// The folder, or "" when the system cannot say (no HOME, say). On Linux the pictures folder is
// XDG_PICTURES_DIR when that is an absolute path, else the one the XDG user folders file names
// (${XDG_CONFIG_HOME:-~/.config}/user-dirs.dirs), else ~/Pictures.
std::string UserFolderPath(UserFolder folder);
// The game's own folder in one of them, the one place that names it: Linux tavlo in each
// (~/.config/tavlo, ~/.local/share/tavlo, ~/Pictures/tavlo); Windows Tavlo (%APPDATA%\Tavlo,
// %LOCALAPPDATA%\Tavlo, Pictures\Tavlo), or tavlo under XDG_CONFIG_HOME when that is a whole
// path (the tests' way of giving the settings a folder of their own). "" when the system cannot
// say.
std::string GameFolderPath(UserFolder folder);
// The pictures folder an XDG user folders file's text names (XDG_PICTURES_DIR="$HOME/Bilder";
// the last line counts, as when the shell reads it); "" when it names none or not a whole path.
std::string PicturesFolderIn(const std::string& userDirs, const std::string& home);

// The languages the player asks for, most wanted first, in the catalogues' names ("ja_JP", "ja"):
// on Linux from LANGUAGE, LC_ALL, LC_MESSAGES and LANG as gettext reads them; on Windows from
// the user's preferred UI languages. Empty for the texts as written (English).
std::vector<std::string> PlayerLanguages();

}  // namespace platform
