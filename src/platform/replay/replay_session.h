// A run that is recorded (--record FILE, or TAVLO_RECORD) or played back from a replay
// (--replay FILE, with --verify: headless, as fast as it goes, a report and an exit code of its
// own). The format is in replay.h; docs/replays.md tells the whole story.
#pragma once

#include <functional>
#include <string>

#include "host.h"

namespace replay {

struct SessionRequest {
    std::string record;  // a file to record into
    std::string replay;  // a file to play back
    bool verify = false;
    host::Host* (*makeHost)() = nullptr;  // the host for this run; a session puts its own in front
    // Called at the end of a recorded run whose recording is whole (not cut) when "score.dat"
    // then holds a higher best than when the run started, with the recording's path.
    std::function<void(const std::string& recording)> onNewBest;
};

// Sets the session up in the current folder (the one holding "tavlo.rka" and "score.dat") before
// the host is made. A replay is played in a scratch folder of its own, with the score file it
// was recorded with, so the player's best score is never touched. Returns -1 to go on, or the
// exit code to end with at once (1 with a message when the replay does not fit this program).
int StartSession(const SessionRequest& request, const char* program);

// The host factory: the request's host (the headless one for --verify), behind the recording or
// playing host when a session is on.
host::Host* CreateSessionHost();

// The seed the game's generator gets when the game seeds it with `given`: recorded while
// recording, the recorded one while playing back. The game's srand reaches it as the seed filter
// (game_random.h) the session puts in place when it starts.
unsigned SeedForGame(unsigned given);

}  // namespace replay
