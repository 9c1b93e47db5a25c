// The bindings (seam/bindings.h) as the SDL host uses them: SDL's keys by SDL's own names,
// resolved once into a table from SDL's key codes to what each key does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "bindings.h"

namespace sdl {

using host::Action;
using host::Bindings;
using host::KeyUse;

// An SDL_Keycode (SDL's header kept out of this one).
using Keycode = std::int32_t;

// The keys SDL knows, by SDL's names (any case in, SDL's spelling out); "" for none.
std::string SdlKeyName(const std::string& name);

// What every SDL key does under a set of bindings, made once when the bindings are read: a key
// event is one look-up. Keys are matched as the bindings name them, by SDL's name of the key
// code, so two codes SDL names alike do the same.
class KeyMap {
  public:
    explicit KeyMap(const host::Bindings& bindings);

    // What the key does: the virtual key the game gets (0 for none) and the host action it
    // stands for, with or without Alt.
    const host::KeyUse& Of(Keycode key) const {
        const auto found = keys_.find(key);
        return found == keys_.end() ? kNothing : found->second;
    }
    // The host action a key from an input script (a virtual key, no Alt) stands for, if any.
    std::optional<Action> HostActionOfVirtualKey(unsigned virtualKey) const {
        return virtualKey < scripted_.size() ? scripted_[virtualKey] : std::nullopt;
    }

  private:
    static constexpr host::KeyUse kNothing{};
    std::unordered_map<Keycode, host::KeyUse> keys_;  // only the keys that do something
    std::array<std::optional<Action>, 256> scripted_{};
};

}  // namespace sdl
