// The player's settings file (settings.h).
#include "settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "files.h"
#include "system.h"
#include "web_address.h"

namespace host {
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

// One line of the file into `read`; false when it says nothing we know. Names a binding does
// not know go to `unknown`.
bool ParseLine(const std::string& line, const KeyNames& names, Settings& read,
               std::vector<std::string>& unknown) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key.rfind("key.", 0) == 0 || key.rfind("pad.", 0) == 0) {
        return ParseBinding(key, value, names, read.bindings, unknown);
    }
    if (key == "mode" && (value == "fullscreen" || value == "window")) {
        read.mode = value == "fullscreen" ? WindowMode::FullScreen : WindowMode::Window;
    } else if (key == "scaling" && (value == "sharp" || value == "smooth")) {
        read.scaling = value == "sharp" ? Scaling::Sharp : Scaling::Smooth;
    } else if (key == "window") {
        return ParseSize(value, read.windowWidth, read.windowHeight);
    } else if (key == "pause_on_focus_loss" && (value == "yes" || value == "no")) {
        read.pauseOnFocusLoss = value == "yes";
    } else if (key == "language" && value.size() <= 35 &&
               std::all_of(value.begin(), value.end(), [](char c) {
                   return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
               })) {
        read.language = value;
    } else if (key == "submit_server" && (value.empty() || platform::IsWebAddress(value))) {
        read.submitServer = value;
    } else if (key == "submit_name" && value.size() <= kMaxSubmitName &&
               std::none_of(value.begin(), value.end(), [](char c) {
                   return static_cast<unsigned char>(c) < ' ' || c == '\x7f';
               })) {
        read.submitName = value;
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

}  // namespace

std::string FormatSettings(const Settings& s) {
    std::ostringstream out;
    out << "# Tavlo's settings. Alt+Enter switches full screen and window, F11 (or F9) sharp and\n"
           "# smooth scaling; the game writes this file when they change. key.ACTION and\n"
           "# pad.ACTION list SDL's names of keys and controller buttons (any case, several\n"
           "# separated by commas; Alt+ for the host's own actions; -leftx is the stick's left).\n"
           "# language=ja (de, es, fr, zh_CN, en) chooses the language of the port's own texts\n"
           "# instead of the system's. submit_server=https://... and submit_name=NAME send each\n"
           "# run that sets a new best to that score server under NAME (both, or nothing is "
           "sent).\n";
    out << "mode=" << (s.mode == WindowMode::FullScreen ? "fullscreen" : "window") << "\n";
    out << "scaling=" << (s.scaling == Scaling::Sharp ? "sharp" : "smooth") << "\n";
    out << "window=" << s.windowWidth << "x" << s.windowHeight << "\n";
    out << "pause_on_focus_loss=" << (s.pauseOnFocusLoss ? "yes" : "no") << "\n";
    if (!s.language.empty()) out << "language=" << s.language << "\n";
    if (!s.submitServer.empty()) out << "submit_server=" << s.submitServer << "\n";
    if (!s.submitName.empty()) out << "submit_name=" << s.submitName << "\n";
    out << FormatBindings(s.bindings);
    return out.str();
}

Settings ParseSettings(const std::string& text, const KeyNames& names,
                       std::vector<platform::Said>& notes) {
    Settings read;
    if (text.size() > kMaxText) {
        notes.push_back(
            platform::said("longer than {1} bytes; not read", {std::to_string(kMaxText)}));
        return read;
    }
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        std::vector<std::string> unknown;
        if (trimmed.find('\0') != std::string::npos || !ParseLine(trimmed, names, read, unknown)) {
            notes.push_back(
                platform::said("line {1} ignored: {2}", {std::to_string(number), Quote(trimmed)}));
        }
        for (const std::string& name : unknown) {
            notes.push_back(platform::said("line {1}: no key or button \"{2}\"; skipped",
                                           {std::to_string(number), Quote(name)}));
        }
    }
    for (const std::string& action : FillFromDefaults(read.bindings)) {
        notes.push_back(
            // TRANSLATORS: {1} is an action's name in settings.conf (left, enter, fullscreen, ...).
            platform::said("no key is left for {1}: its keys do other things", {action}));
    }
    return read;
}

void FitWindowToDisplay(DisplayChoices& choices, int usableWidth, int usableHeight) {
    choices.windowWidth = std::max(320, std::min(choices.windowWidth, usableWidth));
    choices.windowHeight = std::max(240, std::min(choices.windowHeight, usableHeight));
}

std::string SettingsPath() {
    const std::string folder = platform::GameFolderPath(platform::UserFolder::Config);
    return folder.empty() ? "" : folder + "/settings.conf";
}

LoadedSettings LoadSettings(const std::string& path, const KeyNames& names) {
    LoadedSettings loaded;
    loaded.path = path;
    if (path.empty()) return loaded;
    const platform::FileRead read = platform::ReadRegularFile(path, kMaxText);
    switch (read.outcome) {
        case platform::ReadOutcome::Read:
            break;
        case platform::ReadOutcome::Missing:
            loaded.missing = true;
            return loaded;
        case platform::ReadOutcome::TooLarge:
            loaded.notes.push_back(
                platform::said("longer than {1} bytes; not read", {std::to_string(kMaxText)}));
            return loaded;
        case platform::ReadOutcome::Folder:
            loaded.notes.push_back(platform::said("is a folder, not a file; using the defaults"));
            loaded.mayWrite = false;
            return loaded;
        case platform::ReadOutcome::NotRegular:
            loaded.notes.push_back(platform::said("is not a regular file; using the defaults"));
            loaded.mayWrite = false;
            return loaded;
        case platform::ReadOutcome::Failed:
            loaded.notes.push_back(
                platform::said("cannot be read ({1}); using the defaults and leaving it as it is",
                               {std::string(std::strerror(read.error))}));
            loaded.mayWrite = false;
            return loaded;
    }
    loaded.settings = ParseSettings(read.bytes, names, loaded.notes);
    if (loaded.settings.submitServer.empty() != loaded.settings.submitName.empty()) {
        loaded.notes.push_back(
            // TRANSLATORS: submit_server and submit_name are the settings' names; keep them.
            platform::said("submit_server and submit_name go together: with only one of them "
                           "no run is sent"));
    }
    return loaded;
}

bool SaveSettings(const std::string& path, const Settings& settings) {
    if (path.empty()) return false;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(path.substr(0, slash))) {
        return false;
    }
    // Written beside and renamed over, so a crash or a full disk never leaves half a file; a
    // settings file kept as a link elsewhere stays one.
    return platform::ReplaceFile(path, FormatSettings(settings),
                                 platform::Existing::KeepLinkAndMode)
        .ok;
}

KeepDisplay KeeperOf(const LoadedSettings& loaded) {
    if (loaded.path.empty() || !loaded.mayWrite) return [](const DisplayChoices&) {};
    return [path = loaded.path, saved = loaded.settings](const DisplayChoices& choices) mutable {
        saved.mode = choices.mode;
        saved.scaling = choices.scaling;
        saved.windowWidth = choices.windowWidth;
        saved.windowHeight = choices.windowHeight;
        if (!SaveSettings(path, saved)) {
            std::fprintf(stderr, "tavlo: %s\n",
                         platform::Fill(tr("cannot write {1}"), {path}).c_str());
        }
    };
}

}  // namespace host
