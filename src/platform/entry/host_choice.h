// The host a program on Linux runs on: TAVLO_VIDEO=headless picks the headless host, anything
// else (or nothing) the SDL window; and the player's settings, read once for the whole run.
#pragma once

#include "host.h"
#include "settings.h"

namespace entry {

// The player's settings.conf, read at the first call (keys by SDL's names) and kept for the
// run: the language, the score server, and the SDL host's part.
const host::LoadedSettings& PlayerSettings();

// Makes the host that TAVLO_VIDEO names, the SDL host with its part of PlayerSettings(); for
// SetHostFactory.
host::Host* CreateHostNamedByEnvironment();

}  // namespace entry
