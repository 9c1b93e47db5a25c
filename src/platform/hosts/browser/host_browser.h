// The browser host: the game in a web page, built with emscripten. The screen goes into a
// canvas, keys and gamepads arrive from the page, and the game's spinning on its clock yields to
// the browser between clock ticks (Asyncify). The page's side is core.js and the files it names.
#pragma once

#include "host.h"

namespace host {

// Makes the one browser host; the browser's entry hands it to host::SetHostFactory.
Host* CreateBrowserHost();

// Has the page read the player's bindings through the one model (bindings_browser.cpp), now
// that the module can answer it.
void ReadPageBindings();

}  // namespace host
