// The bindings with SDL's key names (sdl_bindings.h).
#include "sdl_bindings.h"

#include <SDL.h>

#include "sdl_keys.h"

namespace host::sdl {
namespace {

std::string NameOf(Keycode key) {
    return key == SDLK_UNKNOWN ? std::string() : std::string(SDL_GetKeyName(key));
}

}  // namespace

std::string SdlKeyName(const std::string& name) {
    return NameOf(SDL_GetKeyFromName(name.c_str()));
}

bool ParseBinding(const std::string& name, const std::string& value, Bindings& bindings,
                  std::vector<std::string>& unknown) {
    return host::ParseBinding(name, value, SdlKeyName, bindings, unknown);
}

unsigned GameKeyOf(const Bindings& bindings, Keycode key) {
    return host::GameKeyOf(bindings, NameOf(key), VirtualKeyOf(key));
}

std::optional<Action> HostActionOf(const Bindings& bindings, Keycode key, bool alt) {
    return host::HostActionOf(bindings, NameOf(key), alt);
}

std::optional<Action> HostActionOfVirtualKey(const Bindings& bindings, unsigned virtualKey) {
    return host::HostActionOfVirtualKey(bindings, virtualKey, [](const std::string& name) {
        return VirtualKeyOf(SDL_GetKeyFromName(name.c_str()));
    });
}

}  // namespace host::sdl
