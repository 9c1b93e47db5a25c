// The page's bindings through the one model (bindings.h). The page writes into a buffer of this
// file's the names of the keys it knows and its stored settings, then asks for them to be read;
// the answer, in the same buffer, is what the page needs to act on a key at once (it decides in
// the browser's key handler whether the browser may act on it):
//
//   in:   a line of the keys the page knows, each NAME=VK (its own virtual key), tab-separated,
//         after "names\t"; then one stored setting a line: key.left=A,Left
//   out:  one line each, fields separated by tabs:
//         bind  key.left  A,Left             the panel's text of each setting
//         key   left  37  -  fullscreen  1   a key (lower case): the virtual key the game gets
//                                            (0: none), the host action alone and with Alt
//                                            (- for none), 1 when bound to a game action
//         pad   0  0 ...                     what each control gives (27 numbers, PadMap's order)
//         note  ...                          what the player should know (unknown names, ...)
#include <emscripten.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bindings.h"
#include "catalog.h"
#include "host_browser.h"

EM_JS(void, tavlo_read_bindings, (), { Module.tavloHost.readBindings(); });

namespace {

// The stored settings are a few hundred bytes; longer than this they are cut.
char buffer[16384];

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The page has no screenshots: its panel and its keys leave that action out.
bool PageAction(const std::string& setting) {
    return setting != "key.screenshot";
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE char* tavlo_bindings_buffer() {
    return buffer;
}
EMSCRIPTEN_KEEPALIVE int tavlo_bindings_buffer_size() {
    return static_cast<int>(sizeof buffer);
}

EMSCRIPTEN_KEEPALIVE void tavlo_bindings_read() {
    std::istringstream in(std::string(buffer, strnlen(buffer, sizeof buffer)));
    std::string line;
    std::map<std::string, std::string> known;  // lower case → the page's spelling
    std::map<std::string, unsigned> own;       // the page's spelling → its own virtual key
    std::map<std::string, std::string> stored;
    while (std::getline(in, line)) {
        if (line.rfind("names\t", 0) == 0) {
            std::istringstream names(line.substr(6));
            std::string name;
            while (std::getline(names, name, '\t')) {
                const auto equals = name.rfind('=');
                if (equals == std::string::npos) continue;
                const std::string key = name.substr(0, equals);
                known[Lower(key)] = key;
                own[key] =
                    static_cast<unsigned>(std::strtoul(name.c_str() + equals + 1, nullptr, 10));
            }
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
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
    std::ostringstream out;
    std::istringstream lines(host::FormatBindings(bindings));
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        const std::string setting = line.substr(0, equals);
        if (PageAction(setting))
            out << "bind\t" << setting << "\t" << line.substr(equals + 1) << "\n";
    }
    const auto hostAction = [](const std::optional<host::Action>& action) -> std::string {
        if (action == host::Action::FullScreen) return "fullscreen";
        if (action == host::Action::Scaling) return "scaling";
        return "-";
    };
    // Each key resolved once, as the SDL host's key map resolves them (host::ResolveKey).
    for (const auto& [key, vk] : own) {
        const host::KeyUse use = host::ResolveKey(bindings, key, vk);
        out << "key\t" << Lower(key) << "\t" << use.gameKey << "\t" << hostAction(use.plain) << "\t"
            << hostAction(use.withAlt) << "\t" << (use.boundToGame ? 1 : 0) << "\n";
    }
    const host::PadMap pads = host::PadMapOf(bindings);
    out << "pad";
    for (const unsigned vk : pads.buttons) out << "\t" << vk;
    for (const unsigned vk : pads.negative) out << "\t" << vk;
    for (const unsigned vk : pads.positive) out << "\t" << vk;
    out << "\n";
    for (const std::string& note : notes) out << "note\t" << note << "\n";
    const std::string text = out.str();
    const std::size_t size = std::min(text.size(), sizeof buffer - 1);
    std::copy_n(text.data(), size, buffer);
    buffer[size] = '\0';
}

}  // extern "C"

namespace host {

void ReadPageBindings() {
    tavlo_read_bindings();
}

}  // namespace host
