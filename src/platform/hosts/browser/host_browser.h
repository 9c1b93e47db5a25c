// The browser host: the game in a web page, built with emscripten. The screen goes into a
// canvas, keys and gamepads arrive from the page, and the game's spinning on its clock yields to
// the browser between clock ticks (Asyncify). The page's side is core.js and the modules it names.
#pragma once

#include "host.h"

namespace browser {

// Makes the one browser host, owned by the caller: the page's session puts it behind the
// recording or playing host (session_browser.h).
host::Host* CreateBrowserHost();

// Has the page read the player's bindings through the one model (bindings_browser.cpp), now
// that the module can answer it.
void ReadPageBindings();

}  // namespace browser
