// The SDL host's settings file.
#include "sdl_settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "folders.h"

namespace host::sdl {
namespace {

// Anything longer than this is not a file we wrote.
constexpr std::size_t kMaxText = 4096;
constexpr int kMaxSide = 16384;

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
    if (parts[0] < 320 || parts[1] < 240 || parts[0] > kMaxSide || parts[1] > kMaxSide) {
        return false;
    }
    width = parts[0];
    height = parts[1];
    return true;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string FormatSettings(const Settings& s) {
    std::ostringstream out;
    out << "# Tavlo's display settings. Alt+Enter switches full screen and window, F11 sharp and\n"
           "# smooth scaling; the game writes this file when they change.\n";
    out << "mode=" << (s.mode == WindowMode::FullScreen ? "fullscreen" : "window") << "\n";
    out << "scaling=" << (s.scaling == Scaling::Sharp ? "sharp" : "smooth") << "\n";
    out << "window=" << s.windowWidth << "x" << s.windowHeight << "\n";
    return out.str();
}

bool ParseSettings(const std::string& text, Settings& settings) {
    settings = Settings{};
    Settings read;
    bool good = text.size() <= kMaxText;
    std::istringstream in(good ? text : std::string());
    std::string line;
    while (good && std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            good = false;
            break;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "mode" && (value == "fullscreen" || value == "window")) {
            read.mode = value == "fullscreen" ? WindowMode::FullScreen : WindowMode::Window;
        } else if (key == "scaling" && (value == "sharp" || value == "smooth")) {
            read.scaling = value == "sharp" ? Scaling::Sharp : Scaling::Smooth;
        } else if (key == "window" && ParseSize(value, read.windowWidth, read.windowHeight)) {
        } else {
            good = false;
        }
    }
    if (good) settings = read;
    return good;
}

std::string SettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/tavlo/settings.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config/tavlo/settings.conf";
    return "";
}

Settings LoadSettings(const std::string& path) {
    Settings settings;
    if (path.empty()) return settings;
    std::ifstream in(path, std::ios::binary);
    bool good = false;
    if (in) {
        std::string text(kMaxText + 1, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        good = ParseSettings(text, settings);
        if (!good)
            std::fprintf(stderr, "tavlo: %s was damaged; using the defaults\n", path.c_str());
    }
    if (!good) SaveSettings(path, settings);
    return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings) {
    if (path.empty()) return false;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(path.substr(0, slash))) {
        return false;
    }
    // Written beside and renamed over, so a crash never leaves half a file.
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << FormatSettings(settings);
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace host::sdl
