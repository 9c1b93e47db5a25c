// The SDL2 host: a real window, the keyboard and controllers, paced presentation. The host's own
// keys (full screen, scaling, screenshot; scripted ones too) are acted on here and still reach the
// game as Windows would send them: Alt+Enter as a system key, F11 and F12 as keys no screen reads.
#pragma once

#include <string>
#include <vector>

#include "bindings.h"
#include "host.h"
#include "settings.h"

namespace sdl {

// What the SDL host takes from the player's settings (settings.h), which the entry reads once.
struct SdlHostSettings {
    host::DisplayChoices
        display;  // as saved; this run's command line goes over them (run_options.h)
    bool pauseOnFocusLoss = true;
    host::Bindings bindings = host::DefaultBindings();
    // Lines for standard error when the host starts: what was wrong with the file.
    std::vector<std::string> notes;
    // Where the display choices go when the player changes one (Alt+Enter, F11, a new window
    // size); at start too when `writeDefaults`, so that a player finds the file to edit.
    host::KeepDisplay keep = [](const host::DisplayChoices&) {};
    bool writeDefaults = false;
};
// The SDL host's part of the settings as read, its notes in the language now in use.
SdlHostSettings SdlHostSettingsOf(const host::LoadedSettings& loaded);

// Made once per process, by the program's entry.
host::Host* CreateSdlHost(SdlHostSettings settings);

// The key SDL knows by `name` (any case), in SDL's spelling; "" for none. The names in the
// settings' key bindings.
std::string SdlKeyName(const std::string& name);

}  // namespace sdl
