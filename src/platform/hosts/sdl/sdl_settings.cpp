// The SDL host's settings file.
#include "sdl_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "folders.h"

namespace host::sdl {
namespace {

// Anything longer than this is not a file we wrote.
constexpr std::size_t kMaxText = 4096;

bool ParseSize(const std::string& value, int& width, int& height) {
    const auto x = value.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= value.size() || x > 5 ||
        value.size() - x - 1 > 5) {
        return false;
    }
    int parts[2] = {0, 0};
    const std::string texts[2] = {value.substr(0, x), value.substr(x + 1)};
    for (int i = 0; i < 2; ++i) {
        for (char c : texts[i]) {
            if (c < '0' || c > '9') return false;
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    if (parts[0] < 320 || parts[1] < 240) return false;
    width = std::min(parts[0], kMaxWindowSide);
    height = std::min(parts[1], kMaxWindowSide);
    return true;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// One line of the file into `read`; false when it says nothing we know.
bool ParseLine(const std::string& line, Settings& read) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "mode" && (value == "fullscreen" || value == "window")) {
        read.mode = value == "fullscreen" ? WindowMode::FullScreen : WindowMode::Window;
    } else if (key == "scaling" && (value == "sharp" || value == "smooth")) {
        read.scaling = value == "sharp" ? Scaling::Sharp : Scaling::Smooth;
    } else if (key == "window") {
        return ParseSize(value, read.windowWidth, read.windowHeight);
    } else if (key == "pause_on_focus_loss" && (value == "yes" || value == "no")) {
        read.pauseOnFocusLoss = value == "yes";
    } else {
        return false;
    }
    return true;
}

// A line as a note may quote it: printable ASCII only, and not too much of it.
std::string Quote(const std::string& line) {
    std::string quoted;
    for (char c : line.substr(0, 60)) quoted += c >= ' ' && c <= '~' ? c : '?';
    return line.size() > 60 ? quoted + "..." : quoted;
}

void Note(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "tavlo: %s: %s\n", path.c_str(), what.c_str());
}

}  // namespace

std::string FormatSettings(const Settings& s) {
    std::ostringstream out;
    out << "# Tavlo's display settings. Alt+Enter switches full screen and window, F11 sharp and\n"
           "# smooth scaling; the game writes this file when they change.\n";
    out << "mode=" << (s.mode == WindowMode::FullScreen ? "fullscreen" : "window") << "\n";
    out << "scaling=" << (s.scaling == Scaling::Sharp ? "sharp" : "smooth") << "\n";
    out << "window=" << s.windowWidth << "x" << s.windowHeight << "\n";
    out << "pause_on_focus_loss=" << (s.pauseOnFocusLoss ? "yes" : "no") << "\n";
    return out.str();
}

Settings ParseSettings(const std::string& text, std::vector<std::string>& notes) {
    Settings read;
    if (text.size() > kMaxText) {
        notes.push_back("longer than " + std::to_string(kMaxText) + " bytes; not read");
        return read;
    }
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        if (trimmed.find('\0') != std::string::npos || !ParseLine(trimmed, read)) {
            notes.push_back("line " + std::to_string(number) + " ignored: " + Quote(trimmed));
        }
    }
    return read;
}

void FitWindowToDisplay(Settings& settings, int usableWidth, int usableHeight) {
    settings.windowWidth = std::max(320, std::min(settings.windowWidth, usableWidth));
    settings.windowHeight = std::max(240, std::min(settings.windowHeight, usableHeight));
}

std::string SettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/tavlo/settings.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config/tavlo/settings.conf";
    return "";
}

LoadedSettings LoadSettings(const std::string& path) {
    LoadedSettings loaded;
    if (path.empty()) return loaded;
    // O_NONBLOCK: a FIFO put in the file's place would hold the open up until a writer came.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            if (!SaveSettings(path, loaded.settings)) Note(path, "cannot be written");
        } else {
            Note(path, std::string("cannot be read (") + std::strerror(errno) +
                           "); using the defaults and leaving it as it is");
            loaded.mayWrite = false;
        }
        return loaded;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Note(path, S_ISDIR(info.st_mode) ? "is a folder, not a file; using the defaults"
                                         : "is not a regular file; using the defaults");
        ::close(fd);
        loaded.mayWrite = false;
        return loaded;
    }
    std::string text(kMaxText + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t n = ::read(fd, text.data() + length, text.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Note(path, std::string("cannot be read (") + std::strerror(errno) +
                           "); using the defaults and leaving it as it is");
            ::close(fd);
            loaded.mayWrite = false;
            return loaded;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(length);
    std::vector<std::string> notes;
    loaded.settings = ParseSettings(text, notes);
    for (const std::string& note : notes) Note(path, note);
    return loaded;
}

bool SaveSettings(const std::string& path, const Settings& settings) {
    if (path.empty()) return false;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(path.substr(0, slash))) {
        return false;
    }
    // Written beside and renamed over, so a crash or a full disk never leaves half a file.
    const std::string temporary = path + ".new";
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string text = FormatSettings(settings);
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    written = ::close(fd) == 0 && written;
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace host::sdl
