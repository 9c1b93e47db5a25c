// Where the program plays when no --data-dir is given. An installed program plays in the player's
// own folder, which it makes ready itself: on Linux (PREFIX/games/tavlo, its archive in
// PREFIX/share/games/tavlo) ${XDG_DATA_HOME:-~/.local/share}/tavlo; on Windows (tavlo.rka beside
// tavlo.exe) %LOCALAPPDATA%\Tavlo, or the program's own folder when it is a portable copy. A
// program anywhere else (a build tree) plays in the current folder.
#pragma once

#include <string>

namespace entry {

// The installed archive beside `program` (the program's own file, links resolved): its path when
// anything has that name, else "" (the program is not installed).
std::string InstalledArchive(const std::string& program);

// The program's own folder when the program is a portable copy that plays there: Windows, with
// the marker file "portable.txt" beside the program (the portable zip ships it) and a folder
// that can be written (a USB stick keeps its score on the stick). "" otherwise, and always on
// Linux.
std::string PortableFolder(const std::string& program);

// The player's own folder: Linux, tavlo under XDG_DATA_HOME when that is an absolute path, else
// under ~/.local/share; Windows, Tavlo under the local application data folder. "" when the
// system cannot say (HOME not set).
std::string PlayerFolder();
// What --help says of it when there is none, and why the game then cannot start.
std::string PlayerFolderText();
std::string NoPlayerFolderText();

// Makes `folder` ready to play in: made when missing; "tavlo.rka" in it the installed `archive`
// (Linux: a symbolic link to it; Windows: a hard link on the same volume, else a copy), put in
// place (over whatever had the name) when it is not that already; a best score of zero, four
// zero bytes, written only when nothing has the name "score.dat" (an existing score, even an
// empty one or one made meanwhile, is never written over). "" when the folder is ready, else a
// sentence saying what failed.
std::string PrepareFolder(const std::string& folder, const std::string& archive);

// Where this program plays by default, for --help.
std::string DefaultFolderText();

struct PlayFolder {
    std::string path;   // the folder to play in; "" for the current folder
    std::string error;  // why an installed program has no folder to play in
};
// The folder an installed program plays in, made ready; nothing for a program that is not
// installed.
PlayFolder InstalledPlayFolder();

}  // namespace entry
