// The SDL2 host: a real window, the keyboard and controllers, paced presentation.
#pragma once

#include "host.h"

namespace host {

// Made once per process, by the program's entry.
Host* CreateSdlHost();

}  // namespace host
