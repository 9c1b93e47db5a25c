// What the process needs from its system before anything else runs, and the way a message that
// ends the program before the game starts reaches the player.
#pragma once

#include <string>
#include <vector>

namespace entry {

// Linux: nothing. Windows: a program of the GUI subsystem has no console; one started from a
// console (cmd, PowerShell) prints --help, --version and its messages there (AttachConsole),
// unless its output already goes somewhere (a pipe, a file).
void PrepareProcess();

// The program's arguments in UTF-8, argv[0] first. Linux: argv as it is. Windows: read from the
// UTF-16 command line (GetCommandLineW), whatever the ANSI code page would have made of them.
std::vector<std::string> Arguments(int argc, char** argv);

// Text for the player on standard output (--help, --version): on Windows a console is written in
// UTF-16, so that it shows every character.
void Print(const std::string& text);

// Text for the player on standard error that does not end a start (--submit's refusals): on
// Windows a console is written in UTF-16, as Print does; never a message box.
void PrintError(const std::string& text);

// Before the game's window opens: Windows lets go of the console the program was started from,
// so that Ctrl+C or closing that console does not end the game. Linux: nothing.
void LeaveConsole();

// A message that ends the program before the game starts: on standard error, and on Windows in a
// message box too unless standard error is a console (started from its shortcut, or by a launcher
// that keeps the output, nobody would read it).
void ReportFatal(const std::string& text);

}  // namespace entry
