// Any text as settings.conf: whatever ParseSettings makes of it is a setting the program can use
// (known modes, a window from 320×240 up to kMaxWindowSide a side), and what FormatSettings
// writes of it parses back whole, without a note, to the same settings. The language it names
// becomes catalogues' folder names made only of letters, digits and '_' (never a path's '/' or
// '..').
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog.h"
#include "host_sdl.h"
#include "settings.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace host;
    std::vector<platform::Said> notes;
    const Settings parsed = ParseSettings(std::string(reinterpret_cast<const char*>(data), size),
                                          sdl::SdlKeyName, notes);
    Require(parsed.mode == WindowMode::FullScreen || parsed.mode == WindowMode::Window);
    Require(parsed.scaling == Scaling::Sharp || parsed.scaling == Scaling::Smooth);
    Require(parsed.windowWidth >= 320 && parsed.windowWidth <= kMaxWindowSide);
    Require(parsed.windowHeight >= 240 && parsed.windowHeight <= kMaxWindowSide);
    for (const std::string& language : platform::LanguagesFromTags({parsed.language})) {
        for (const char c : language) {
            Require(std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        }
    }
    std::vector<platform::Said> againNotes;
    const Settings again = ParseSettings(FormatSettings(parsed), sdl::SdlKeyName, againNotes);
    Require(againNotes.empty() && again == parsed);
    return 0;
}
