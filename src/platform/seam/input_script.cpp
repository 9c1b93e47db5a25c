// Input scripts shared by the hosts.
#include "input_script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "virtual_keys.h"

namespace host {

bool ParseKeyName(const std::string& name, unsigned& key) {
    for (const vk::NamedKey& named : vk::kScriptNames) {
        if (name == named.name) {
            key = named.code;
            return true;
        }
    }
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        key = static_cast<unsigned>(name[0]);
        return true;
    }
    std::uint64_t number = 0;
    if (name.size() >= 2 && name[0] == 'F' && ParseUnsigned(name.substr(1), 12, number) &&
        number >= 1) {
        key = vk::kF1 + static_cast<unsigned>(number) - 1;
        return true;
    }
    if (ParseUnsigned(name, 255, number)) {
        key = static_cast<unsigned>(number);
        return true;
    }
    return false;
}

std::string KeyName(unsigned key) {
    for (const vk::NamedKey& named : vk::kScriptNames) {
        if (key == named.code) return std::string(named.name);
    }
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
    if (key >= vk::kF1 && key <= vk::kF12) return "F" + std::to_string(key - vk::kF1 + 1);
    return std::to_string(key);
}

namespace {

// One script line; false when it is malformed.
bool ParseLine(const std::string& line, ScriptedEvent& out) {
    std::istringstream in(line);
    std::string time, verb, key, extra;
    in >> time >> verb >> key >> extra;
    if (!extra.empty() || !ParseUnsigned(time, UINT64_MAX / 10, out.at)) return false;
    using Kind = InputEvent::Kind;
    if (verb == "down" || verb == "up") {
        out.event.kind = verb == "down" ? Kind::KeyDown : Kind::KeyUp;
        return ParseKeyName(key, out.event.virtualKey);
    }
    if (!key.empty()) return false;
    if (verb == "close") {
        out.event.kind = Kind::Close;
        return true;
    }
    if (verb == "quit") {
        out.event.kind = Kind::Quit;
        return true;
    }
    return false;
}

}  // namespace

bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit) return false;
    }
    return true;
}

std::vector<ScriptedEvent> LoadInputScript(const char* path) {
    std::vector<ScriptedEvent> events;
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: cannot read %s\n", path);
        std::exit(2);
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        ScriptedEvent event;
        if (!ParseLine(line, event)) {
            std::fprintf(stderr, "tavlo: TAVLO_INPUT line %d: malformed: %s\n", number,
                         line.c_str());
            std::exit(2);
        }
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.at < b.at; });
    return events;
}

}  // namespace host
