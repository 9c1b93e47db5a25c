// Input scripts shared by the hosts.
#include "input_script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <sstream>
#include <utility>

#include "files.h"
#include "numbers.h"
#include "virtual_keys.h"

namespace host {

using platform::ParseUnsigned;
using platform::Quoted;

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

ParsedScript ParseInputScript(const std::string& text) {
    std::istringstream in(text);
    return ParseLines(in);
}

std::vector<ScriptedEvent> LoadInputScript(const char* path) {
    // Only a regular file is a script: a folder would read as an empty one, and a FIFO would
    // hold the start up until something wrote to it.
    const platform::FileRead read = platform::ReadRegularFile(path, kMaxScriptBytes);
    if (read.outcome == platform::ReadOutcome::TooLarge) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: %s is larger than %llu MiB\n", path,
                     static_cast<unsigned long long>(kMaxScriptBytes >> 20));
        std::exit(2);
    }
    if (!read.ok()) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: cannot read %s: %s\n", path,
                     platform::DescribeRead(read, kMaxScriptBytes).c_str());
        std::exit(2);
    }
    std::istringstream in(read.bytes);
    ParsedScript script = ParseLines(in);
    if (script.tooLarge) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT: %s is larger than %llu MiB\n", path,
                     static_cast<unsigned long long>(kMaxScriptBytes >> 20));
        std::exit(2);
    }
    if (script.badLine != 0) {
        std::fprintf(stderr, "tavlo: TAVLO_INPUT line %d: malformed: %s\n", script.badLine,
                     Quoted(script.badText).c_str());
        std::exit(2);
    }
    return std::move(script.events);
}

}  // namespace host
