// The page's recording and watching: every game the page plays is recorded as the native program
// records it (docs/replays.md), so that a round that set a new best can be sent to a score
// server; a page opened with ?replay= plays a recorded run back instead, in a folder of its own,
// without touching the player's best score. The page's side is session.js.
#pragma once

#include "host.h"

namespace browser {

// Sets the session up before the host is made, in the folder the page has prepared ("/play",
// holding "tavlo.rka" and "score.dat"). False when the run to watch does not fit this program:
// the page has been told why and the game does not start.
bool StartPageSession();

// The host factory: the browser host behind the recording or playing host.
host::Host* CreatePageSessionHost();

}  // namespace browser
