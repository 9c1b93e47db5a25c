// Where the program plays when no --data-dir is given. An installed program (PREFIX/games/tavlo,
// its archive in PREFIX/share/games/tavlo) plays in the player's own folder,
// ${XDG_DATA_HOME:-~/.local/share}/tavlo, which it makes ready itself; a program anywhere else
// (a build tree) plays in the current folder.
#pragma once

#include <string>

namespace host {

// The installed archive beside `program` (the program's own file, links resolved): its path when
// anything has that name, else "" (the program is not installed).
std::string InstalledArchive(const std::string& program);

// The player's own folder: tavlo under XDG_DATA_HOME when that is an absolute path, else under
// ~/.local/share; "" when HOME is not set either.
std::string PlayerFolder();

// Makes `folder` ready to play in: made when missing; "tavlo.rka" in it a link to `archive`,
// put in place (over whatever had the name) when it is not one already; a best score of zero,
// four zero bytes, written only when nothing has the name "score.dat" (an existing score, even
// an empty one or one made meanwhile, is never written over). "" when the folder is ready, else
// a sentence saying what failed.
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

}  // namespace host
