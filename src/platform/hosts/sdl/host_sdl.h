// The SDL2 host: a real window, the keyboard and controllers, paced presentation. The host's own
// keys (full screen, scaling, screenshot; scripted ones too) are acted on here and still reach the
// game as Windows would send them: Alt+Enter as a system key, F11 and F12 as keys no screen reads.
#pragma once

#include "host.h"

namespace host {

// Made once per process, by the program's entry.
Host* CreateSdlHost();

}  // namespace host
