// The bindings (seam/bindings.h) as the SDL host uses them: SDL's keys by SDL's own names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bindings.h"

namespace host::sdl {

using host::Action;
using host::Bindings;
using host::DefaultBindings;
using host::FillFromDefaults;
using host::FormatBindings;
using host::PadMapOf;

// An SDL_Keycode (kept out of this header, which the settings' users include).
using Keycode = std::int32_t;

// The keys SDL knows, by SDL's names (any case in, SDL's spelling out).
std::string SdlKeyName(const std::string& name);

// A settings line through ParseBinding, with SDL's key names.
bool ParseBinding(const std::string& name, const std::string& value, Bindings& bindings,
                  std::vector<std::string>& unknown);
// The virtual key the game gets for an SDL key (GameKeyOf).
unsigned GameKeyOf(const Bindings& bindings, Keycode key);
// The host action an SDL key pressed with (or without) Alt is bound to, if any.
std::optional<Action> HostActionOf(const Bindings& bindings, Keycode key, bool alt);
// The host action a key from an input script (a virtual key, no Alt) stands for, if any.
std::optional<Action> HostActionOfVirtualKey(const Bindings& bindings, unsigned virtualKey);

}  // namespace host::sdl
