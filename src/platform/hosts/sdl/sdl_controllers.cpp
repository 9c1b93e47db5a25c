// Game controllers (sdl_controllers.h).
#include "sdl_controllers.h"

#include "sdl_keys.h"

namespace sdl {

Controllers::~Controllers() {
    for (auto& [id, controller] : open_) SDL_GameControllerClose(controller);
}

bool Controllers::Handle(const SDL_Event& e, std::vector<host::KeyChange>& changes) {
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            // One already open (SDL reports the controllers present at the start as added too)
            // is not opened twice.
            if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) {
                const SDL_JoystickID id =
                    SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
                if (open_.count(id)) {
                    SDL_GameControllerClose(pad);
                } else {
                    open_[id] = pad;
                }
            }
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (auto it = open_.find(e.cdevice.which); it != open_.end()) {
                SDL_GameControllerClose(it->second);
                open_.erase(it);
            }
            keys_.Removed(e.cdevice.which, changes);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            keys_.Button(e.cbutton.which, PadButtonOf(e.cbutton.button),
                         e.type == SDL_CONTROLLERBUTTONDOWN, changes);
            return true;
        case SDL_CONTROLLERAXISMOTION:
            keys_.Axis(e.caxis.which, PadAxisOf(e.caxis.axis), e.caxis.value, changes);
            return true;
        default:
            return false;
    }
}

}  // namespace sdl
