// The host a program on Linux runs on: TAVLO_VIDEO=headless picks the headless host, anything
// else (or nothing) the SDL window.
#pragma once

#include "host.h"

namespace host {

// Makes the host that TAVLO_VIDEO names; for SetHostFactory.
Host* CreateHostNamedByEnvironment();

}  // namespace host
