// What the process needs from its system before anything else runs, and the way a message that
// ends the program before the game starts reaches the player.
#pragma once

#include <string>
#include <vector>

namespace host {

// Linux: nothing. Windows: a program of the GUI subsystem has no console; one started from a
// console (cmd, PowerShell) prints --help, --version and its messages there (AttachConsole),
// unless its output already goes somewhere (a pipe, a file).
void PrepareProcess();

// The program's arguments in UTF-8, argv[0] first. Linux: argv as it is. Windows: read from the
// UTF-16 command line (GetCommandLineW), whatever the ANSI code page would have made of them.
std::vector<std::string> Arguments(int argc, char** argv);

// A message that ends the program before the game starts: on standard error, and in a message
// box where nobody would see standard error (a Windows program started from its shortcut).
void ReportFatal(const std::string& text);

}  // namespace host
