// Input scripts (TAVLO_INPUT), read by both hosts: one event a line, `<ms> down|up <key>`,
// `<ms> close` or `<ms> quit`, ms counted from the start of the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host.h"

namespace host {

struct ScriptedEvent {
    std::uint64_t at;
    InputEvent event;
};

// A key as scripts write it (RETURN, LEFT, A, F5, or a decimal virtual-key code up to 255), and
// back: the name when it has one, else the decimal code.
bool ParseKeyName(const std::string& name, unsigned& key);
std::string KeyName(unsigned key);
// A script longer than this is refused: no script we write comes near it, and a huge file must
// not become a huge allocation.
constexpr std::uint64_t kMaxScriptBytes = 16u << 20;

// A script's text parsed: its events sorted by time (equal times keep their order), or the
// first malformed line (numbered from 1) and its text, or no events for a text over the limit.
struct ParsedScript {
    std::vector<ScriptedEvent> events;
    int badLine = 0;  // 0 when every line is good
    std::string badText;
    bool tooLarge = false;
};
ParsedScript ParseInputScript(const std::string& text);
// Reads the script at `path`. A script that cannot be read, one over the limit, or a malformed
// line ends the process with code 2 and a line on stderr.
std::vector<ScriptedEvent> LoadInputScript(const char* path);

}  // namespace host
