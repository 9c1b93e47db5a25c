// The bindings with SDL's key names (sdl_bindings.h).
#include "sdl_bindings.h"

#include <SDL.h>

#include <set>

#include "host_sdl.h"
#include "sdl_keys.h"

namespace sdl {
namespace {

std::string NameOf(Keycode key) {
    return key == SDLK_UNKNOWN ? std::string() : std::string(SDL_GetKeyName(key));
}

}  // namespace

std::string SdlKeyName(const std::string& name) {
    return NameOf(SDL_GetKeyFromName(name.c_str()));
}

KeyMap::KeyMap(const host::Bindings& bindings) {
    // Every key code that can share a name with a bound key or that the game hears of: the
    // characters of ASCII, every scancode's own code (SDL names those by the scancode), and
    // the code of each bound name (a character beyond ASCII is its own code and its name).
    std::set<Keycode> codes;
    for (Keycode c = 1; c < 128; ++c) codes.insert(c);
    for (int scancode = 1; scancode < SDL_NUM_SCANCODES; ++scancode) {
        codes.insert(SDL_SCANCODE_TO_KEYCODE(scancode));
    }
    for (const auto& chords : bindings.keys) {
        for (const host::KeyChord& chord : chords) {
            codes.insert(SDL_GetKeyFromName(chord.key.c_str()));
        }
    }
    for (const Keycode code : codes) {
        const std::string name = NameOf(code);
        if (name.empty()) continue;
        const host::KeyUse use = host::ResolveKey(bindings, name, VirtualKeyOf(code));
        if (use.Does()) keys_.emplace(code, use);
    }
    for (unsigned vk = 0; vk < scripted_.size(); ++vk) {
        scripted_[vk] = host::HostActionOfVirtualKey(bindings, vk, [](const std::string& name) {
            return VirtualKeyOf(SDL_GetKeyFromName(name.c_str()));
        });
    }
}

}  // namespace sdl
