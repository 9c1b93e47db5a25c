// The game's two data files, "tavlo.rka" and "score.dat", read from the folder it plays in. When
// the game ends with a message about one of them, the player learns which file and where it was
// looked for.
#pragma once

#include <string>

namespace entry {

// The lines to add below a message box's text, for `folder` (where the game opens its files):
// for each data file the text names in brackets ("File can't open[tavlo.rka]"), where it was
// looked for and why it cannot be opened, or where it is when it can; for a text about a file
// that names none ("file not found"), each data file that cannot be opened. Empty otherwise.
std::string DataFileNote(const std::string& textUtf8, const std::string& folder);

// A plain line for the player below those of the design's messages that end the program and
// name no data file (no display, no memory, "tmp.bmp" unwritable or unreadable); empty for others.
std::string PlainNote(const std::string& textUtf8, const std::string& folder);

// DataFileNote and PlainNote for the current folder; for host::SetMessageNote.
std::string DataFileNoteHere(const std::string& textUtf8);

}  // namespace entry
