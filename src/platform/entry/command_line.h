// The program's command line, GNU style. The game itself takes none: what is read here is for
// the platform (where to play, how to show it) and never reaches WinMain.
#pragma once

#include <string>

#include "run_options.h"

namespace entry {

struct CommandLine {
    enum class Action { Play, Help, Version, Usage, Submit };
    Action action = Action::Play;
    host::RunOptions options;
    std::string dataDir;  // --data-dir: the folder holding "tavlo.rka" and "score.dat"
    std::string error;    // for Action::Usage: what was wrong
    std::string record;   // --record FILE: write the run's input to FILE
    std::string replay;   // --replay FILE: play FILE back
    bool verify = false;  // --verify (with --replay): headless, a report, an exit code
    std::string submit;   // --submit FILE: send the replay FILE to a score server (Action::Submit)
    std::string server;   // --server URL: that server
    std::string name;     // --name NAME: the player's name in its table
};

CommandLine ParseCommandLine(int argc, char** argv);
// Files named on the command line (--record, --replay) or in the environment (TAVLO_INPUT,
// TAVLO_CAPTURE, TAVLO_RECORD, TAVLO_FRAME_SUMS, TAVLO_REACTIONS) are the caller's: a relative
// name is made absolute here, before the program moves into its data folder or a replay's
// scratch folder.
void AnchorRelativePaths(CommandLine& line);
// The texts of --help (`defaultFolder`: where the program plays without --data-dir) and
// --version, and the short usage for a wrong command line.
std::string HelpText(const char* program, const std::string& defaultFolder);
std::string VersionText();
std::string UsageText(const char* program);

}  // namespace entry
