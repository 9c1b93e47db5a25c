// The page's bindings through the one model (bindings.h), and the page's one table of keys. The
// page hands over its stored settings and keeps the answer, to act on a key at once (it decides
// in the browser's key handler whether the browser may act on it):
//
//   tavlo_bindings_read(stored)   stored: one setting a line, as settings.conf has them
//                                 ("key.left=A,Left"); answers JSON:
//     {"bindings": {"key.left": "A,Left", ...},   the panel's text of each setting
//      "keys": {"ArrowLeft": {"vk": 37, "plain": "", "alt": "fullscreen", "kept": true,
//               "system": false}, ...},        by KeyboardEvent.code: the virtual key the game
//                                                gets (0: none), the host action alone and with
//                                                Alt ("" for none), whether the browser's own
//                                                action is kept from it, and whether it reaches
//                                                the game as a system key
//      "pads": [0, 0, ...],                    what each control gives (27 numbers, PadMap's order)
//      "notes": ["...", ...]}                  what the player should know (unknown names, ...)
#include <emscripten.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "catalog.h"
#include "host_browser.h"
#include "virtual_keys.h"

EM_JS(void, tavlo_read_bindings, (), { Module.tavloHost.readBindings(); });

namespace {

// The browser's keys the page plays with: KeyboardEvent.code, the name settings.conf gives the
// key (SDL's), its own virtual key, and whether the browser's action for it is kept from the
// browser whatever it is bound to (scrolling, moving the focus, the browser's own full screen;
// F5, Ctrl+R and the like keep theirs). Letters, digits and F1-F12 follow in KeyTable().
struct PageKey {
    std::string code;
    std::string name;
    unsigned vk;
    bool kept;
};

const std::vector<PageKey>& KeyTable() {
    namespace vk = host::vk;
    static const std::vector<PageKey> table = [] {
        std::vector<PageKey> keys = {
            {"Enter", "Return", host::vk::kReturn, true},
            {"NumpadEnter", "Keypad Enter", host::vk::kReturn, true},
            {"ControlLeft", "Left Ctrl", host::vk::kControl, false},
            {"ControlRight", "Right Ctrl", host::vk::kControl, false},
            {"ShiftLeft", "Left Shift", host::vk::kShift, false},
            {"ShiftRight", "Right Shift", host::vk::kShift, false},
            {"AltLeft", "Left Alt", host::vk::kAlt, false},
            {"AltRight", "Right Alt", host::vk::kAlt, false},
            {"Pause", "Pause", host::vk::kPause, true},
            {"Escape", "Escape", host::vk::kEscape, false},
            {"Space", "Space", host::vk::kSpace, true},
            {"Backspace", "Backspace", host::vk::kBack, false},
            {"Tab", "Tab", host::vk::kTab, true},
            {"PageUp", "PageUp", host::vk::kPageUp, true},
            {"PageDown", "PageDown", host::vk::kPageDown, true},
            {"End", "End", host::vk::kEnd, true},
            {"Home", "Home", host::vk::kHome, true},
            {"ArrowLeft", "Left", host::vk::kLeft, true},
            {"ArrowUp", "Up", host::vk::kUp, true},
            {"ArrowRight", "Right", host::vk::kRight, true},
            {"ArrowDown", "Down", host::vk::kDown, true},
            {"Insert", "Insert", host::vk::kInsert, false},
            {"Delete", "Delete", host::vk::kDelete, false},
        };
        for (char c = 'A'; c <= 'Z'; ++c) {
            keys.push_back({std::string("Key") + c, std::string(1, c), unsigned(c), false});
        }
        for (unsigned i = 0; i < 10; ++i) {
            const std::string digit = std::to_string(i);
            keys.push_back({"Digit" + digit, digit, '0' + i, false});
            keys.push_back({"Numpad" + digit, "Keypad " + digit, host::vk::kNumpad0 + i, false});
        }
        for (unsigned i = 1; i <= 12; ++i) {
            const std::string f = "F" + std::to_string(i);
            keys.push_back({f, f, host::vk::kF1 + i - 1, host::vk::kF1 + i - 1 == host::vk::kF11});
        }
        return keys;
    }();
    return table;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The page has no screenshots: its panel and its keys leave that action out.
bool PageAction(const std::string& setting) {
    return setting != "key.screenshot";
}

std::string HostActionName(std::optional<host::Action> action) {
    if (action == host::Action::FullScreen) return "fullscreen";
    if (action == host::Action::Scaling) return "scaling";
    return "";
}

// Each answer lasts until the next call, for the page to read; never destroyed, as the page's
// panel reads the bindings after the game has ended too (the runtime's exit).
std::string& Answer() {
    static auto* answer = new std::string();
    return *answer;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* tavlo_bindings_read(const char* storedText) {
    std::map<std::string, std::string> known;  // lower case → the table's spelling
    for (const PageKey& key : KeyTable()) known[Lower(key.name)] = key.name;
    std::map<std::string, std::string> stored;
    std::istringstream in(storedText ? storedText : "");
    std::string line;
    while (std::getline(in, line)) {
        if (const auto equals = line.find('='); equals != std::string::npos) {
            stored[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    const host::KeyNames names = [&](const std::string& name) {
        const auto it = known.find(Lower(name));
        return it == known.end() ? std::string() : it->second;
    };
    // The settings in the model's order (a later one takes keys from an earlier one).
    host::Bindings bindings = host::DefaultBindings();
    std::vector<std::string> notes;
    std::istringstream order(host::FormatBindings(bindings));
    while (std::getline(order, line)) {
        const std::string setting = line.substr(0, line.find('='));
        const auto it = stored.find(setting);
        if (it == stored.end() || !PageAction(setting)) continue;
        std::vector<std::string> unknown;
        host::ParseBinding(setting, it->second, names, bindings, unknown);
        const bool key = setting.rfind("key.", 0) == 0;
        for (const std::string& item : unknown) {
            notes.push_back(platform::Fill(
                key ? tr("{1}: no key \"{2}\"; skipped") : tr("{1}: no control \"{2}\"; skipped"),
                {setting, item}));
        }
    }
    for (const std::string& action : host::FillFromDefaults(bindings)) {
        if (action != "screenshot")
            notes.push_back(platform::Fill(tr("no key is left for {1}"), {action}));
    }
    using platform::JsonString;
    std::string out = "{\"bindings\":{";
    std::istringstream lines(host::FormatBindings(bindings));
    const char* comma = "";
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        const std::string setting = line.substr(0, equals);
        if (!PageAction(setting)) continue;
        out += comma + JsonString(setting) + ":" + JsonString(line.substr(equals + 1));
        comma = ",";
    }
    out += "},\"keys\":{";
    comma = "";
    // Each key resolved once, as the SDL host's key map resolves them (host::ResolveKey).
    for (const PageKey& key : KeyTable()) {
        const host::KeyUse use = host::ResolveKey(bindings, key.name, key.vk);
        // Alt and F10 are system keys, as Windows sends them.
        const bool system = use.gameKey == host::vk::kAlt || use.gameKey == host::vk::kF10;
        out += comma + JsonString(key.code) + ":{\"vk\":" + std::to_string(use.gameKey);
        out += ",\"plain\":" + JsonString(HostActionName(use.plain));
        out += ",\"alt\":" + JsonString(HostActionName(use.withAlt));
        out += std::string(",\"kept\":") + (key.kept || use.boundToGame ? "true" : "false");
        out += std::string(",\"system\":") + (system ? "true" : "false") + "}";
        comma = ",";
    }
    out += "},\"pads\":[";
    const host::PadMap pads = host::PadMapOf(bindings);
    comma = "";
    const auto numbers = [&](const auto& keys) {
        for (const unsigned vk : keys) out += std::exchange(comma, ",") + std::to_string(vk);
    };
    numbers(pads.buttons);
    numbers(pads.negative);
    numbers(pads.positive);
    out += "],\"notes\":[";
    comma = "";
    for (const std::string& note : notes) out += std::exchange(comma, ",") + JsonString(note);
    Answer() = out + "]}";
    return Answer().c_str();
}

}  // extern "C"

namespace browser {

void ReadPageBindings() {
    tavlo_read_bindings();
}

}  // namespace browser
