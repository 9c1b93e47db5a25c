// Runs sent to the score server: `tavlo --submit`, and the runs of a player who opted in
// (settings.conf: submit_server and submit_name; docs/scores.md): every game is recorded into
// "runs" in the data folder, the few newest kept, and a game that set a new best has its run
// sent by a detached `tavlo --submit` after it ends, its answer appended to runs/submit.log.
// The game never waits on the network.
#pragma once

#include <string>

#include "settings.h"

namespace entry {

// `tavlo --submit FILE --server URL --name NAME [--data-dir DIR]`: sends the run with the
// name's key kept in the data folder (`dataDir`, else the folder the program plays in: the
// player's own for an installed program, else the current one), keeps a key the server gives
// there, and prints the server's answer (on standard output when the run is in the table, else
// on standard error after the program's name). The exit code: 0 when the server took it, else 1.
int SubmitCommand(const std::string& file, const std::string& server, const std::string& name,
                  const std::string& dataDir, const char* program);

// Recordings kept in "runs": the newest, the one being made among them.
constexpr int kKeptRuns = 5;

struct AutoSubmit {
    std::string server;
    std::string name;
    bool On() const { return !server.empty() && !name.empty(); }
};

// What the player's settings ask (nothing unless both lines are there and good).
AutoSubmit AutoSubmitOf(const host::Settings& settings);

// A new file name in "runs" under `folder` (the data folder, a whole path), after the local
// time ("20261209-041502.replay"); the folder made, and the oldest recordings beyond
// kKeptRuns - 1 removed. "" when the folder cannot be made.
std::string NewRunFile(const std::string& folder);

// Starts `program --submit recording --server … --name … --data-dir FOLDER` detached (the
// current folder: the game's data folder, where its keys are), its output appended to
// submit.log beside the recording (started over once it passes 64 KiB). False, with a line on
// standard error, when it could not be started.
bool SubmitInBackground(const AutoSubmit& submit, const std::string& program,
                        const std::string& recording);

}  // namespace entry
