// Game controllers, plugged in before or during the game: opened as SDL finds them, closed as
// they go, their buttons and sticks turned into the game's keys through the player's bindings.
#pragma once

#include <SDL.h>

#include <map>
#include <vector>

#include "controller_keys.h"

namespace sdl {

class Controllers {
  public:
    Controllers() = default;
    Controllers(const Controllers&) = delete;
    Controllers& operator=(const Controllers&) = delete;
    ~Controllers();

    // Which keys the controls give (before any control is held).
    void SetMap(const host::PadMap& map) { keys_.SetMap(map); }
    // True while any controller is open.
    bool Any() const { return !open_.empty(); }
    // One of SDL's events: a controller's comings and goings, buttons and sticks. The key
    // changes it causes are appended to `changes`; false for an event that is not a controller's.
    bool Handle(const SDL_Event& e, std::vector<host::KeyChange>& changes);

  private:
    std::map<SDL_JoystickID, SDL_GameController*> open_;
    host::ControllerKeys keys_;
};

}  // namespace sdl
