// Input scripts shared by the hosts.
#include "input_script.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <istream>
#include <sstream>
#include <utility>

namespace host {
namespace {

bool ParseKey(const std::string& name, unsigned& key) {
    static const std::map<std::string, unsigned> names = {
        {"RETURN", 0x0D}, {"CONTROL", 0x11}, {"PAUSE", 0x13}, {"ESCAPE", 0x1B}, {"SPACE", 0x20},
        {"LEFT", 0x25},   {"UP", 0x26},      {"RIGHT", 0x27}, {"DOWN", 0x28}};
    if (auto it = names.find(name); it != names.end()) {
        key = it->second;
        return true;
    }
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        key = static_cast<unsigned>(name[0]);
        return true;
    }
    std::uint64_t number = 0;
    if (name.size() >= 2 && name[0] == 'F' && ParseUnsigned(name.substr(1), 12, number) &&
        number >= 1) {
        key = 0x70 + static_cast<unsigned>(number) - 1;
        return true;
    }
    if (ParseUnsigned(name, 255, number)) {
        key = static_cast<unsigned>(number);
        return true;
    }
    return false;
}

// One script line; false when it is malformed.
bool ParseLine(const std::string& line, ScriptedEvent& out) {
    std::istringstream in(line);
    std::string time, verb, key, extra;
    in >> time >> verb >> key >> extra;
    if (!extra.empty() || !ParseUnsigned(time, UINT64_MAX / 10, out.at)) return false;
    using Kind = InputEvent::Kind;
    if (verb == "down" || verb == "up") {
        out.event.kind = verb == "down" ? Kind::KeyDown : Kind::KeyUp;
        return ParseKey(key, out.event.virtualKey);
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

// The script's lines from `in`, up to the first malformed one.
ParsedScript ParseLines(std::istream& in) {
    ParsedScript script;
    std::string line;
    int number = 0;
    std::uint64_t bytes = 0;
    while (std::getline(in, line)) {
        ++number;
        bytes += line.size() + (in.eof() ? 0 : 1);
        if (bytes > kMaxScriptBytes) {
            script.events.clear();
            script.tooLarge = true;
            return script;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        ScriptedEvent event;
        if (!ParseLine(line, event)) {
            script.events.clear();
            script.badLine = number;
            script.badText = line;
            return script;
        }
        script.events.push_back(event);
    }
    std::stable_sort(script.events.begin(), script.events.end(),
                     [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.at < b.at; });
    return script;
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

ParsedScript ParseInputScript(const std::string& text) {
    std::istringstream in(text);
    return ParseLines(in);
}

std::vector<ScriptedEvent> LoadInputScript(const char* path) {
    // A file's size is known before it is read; other kinds are counted as they are read.
    struct stat status;
    if (::stat(path, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) > kMaxScriptBytes) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: %s is larger than %llu MiB\n", path,
                     static_cast<unsigned long long>(kMaxScriptBytes >> 20));
        std::exit(2);
    }
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: cannot read %s\n", path);
        std::exit(2);
    }
    ParsedScript script = ParseLines(in);
    if (script.tooLarge) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: %s is larger than %llu MiB\n", path,
                     static_cast<unsigned long long>(kMaxScriptBytes >> 20));
        std::exit(2);
    }
    if (script.badLine != 0) {
        // A line of a binary file can be as long as the file: show its start.
        constexpr int kShown = 80;
        std::fprintf(stderr, "tavlo: TAVLO_INPUT line %d: malformed: %.*s%s\n", script.badLine,
                     kShown, script.badText.c_str(), script.badText.size() > kShown ? "..." : "");
        std::exit(2);
    }
    return std::move(script.events);
}

}  // namespace host
