// Any text as an input script (TAVLO_INPUT) parses or names a line that exists; what parses is
// sorted by time, carries keys a byte can hold, and reads back the same when written out again.
#include <algorithm>
#include <cstdint>
#include <string>

#include "input_script.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// A key by its code; codes below 10 take two digits, since one digit names the digit's key.
std::string Code(unsigned key) {
    return (key < 10 ? " 0" : " ") + std::to_string(key);
}

std::string Write(const std::vector<host::ScriptedEvent>& events) {
    using Kind = host::InputEvent::Kind;
    std::string text;
    for (const host::ScriptedEvent& e : events) {
        text += std::to_string(e.at);
        switch (e.event.kind) {
            case Kind::KeyDown:
                text += " down" + Code(e.event.virtualKey);
                break;
            case Kind::KeyUp:
                text += " up" + Code(e.event.virtualKey);
                break;
            case Kind::Close:
                text += " close";
                break;
            case Kind::Quit:
                text += " quit";
                break;
            default:
                Require(false);
        }
        text += '\n';
    }
    return text;
}

bool Same(const host::ScriptedEvent& a, const host::ScriptedEvent& b) {
    return a.at == b.at && a.event.kind == b.event.kind && a.event.virtualKey == b.event.virtualKey;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const host::ParsedScript script = host::ParseInputScript(text);
    if (script.badLine != 0) {
        Require(script.events.empty() && script.badLine > 0 &&
                script.badLine <= 1 + std::count(text.begin(), text.end(), '\n'));
        return 0;
    }
    using Kind = host::InputEvent::Kind;
    for (std::size_t i = 0; i < script.events.size(); ++i) {
        const host::ScriptedEvent& e = script.events[i];
        Require(i == 0 || script.events[i - 1].at <= e.at);
        if (e.event.kind == Kind::KeyDown || e.event.kind == Kind::KeyUp)
            Require(e.event.virtualKey <= 255);
    }
    const host::ParsedScript again = host::ParseInputScript(Write(script.events));
    Require(again.badLine == 0 && again.events.size() == script.events.size() &&
            std::equal(again.events.begin(), again.events.end(), script.events.begin(), Same));
    return 0;
}
