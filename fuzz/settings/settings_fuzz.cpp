// Any text as settings.conf: whatever ParseSettings makes of it is a setting the host can use
// (known modes, a window from 320×240 up to 16384 a side), and what FormatSettings writes of it
// parses back whole to the same settings.
#include <cstdint>
#include <string>

#include "sdl_settings.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace host::sdl;
    Settings parsed;
    (void)ParseSettings(std::string(reinterpret_cast<const char*>(data), size), parsed);
    Require(parsed.mode == WindowMode::FullScreen || parsed.mode == WindowMode::Window);
    Require(parsed.scaling == Scaling::Sharp || parsed.scaling == Scaling::Smooth);
    Require(parsed.windowWidth >= 320 && parsed.windowWidth <= 16384);
    Require(parsed.windowHeight >= 240 && parsed.windowHeight <= 16384);
    Settings again;
    again.mode = parsed.mode == WindowMode::Window ? WindowMode::FullScreen : WindowMode::Window;
    Require(ParseSettings(FormatSettings(parsed), again) && again == parsed);
    return 0;
}
