// The steps each system's file module gives the shared sequences of files.cpp (not for callers:
// files.h is the interface).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "files.h"

namespace platform::files_system {

// A file opened for reading by ReadRegularFile: the system's handle (a descriptor, a HANDLE).
using ReadHandle = std::intptr_t;
// Opens `path` to read it, without waiting (a FIFO must not hold the open up), and checks on the
// open file that it is a regular file. On success the handle and what the system says of its
// size (0 when it cannot say); else -1, with `read`'s outcome and error saying why.
ReadHandle OpenForReading(const std::string& path, FileRead& read, std::size_t& size);
// Reads at most `most` bytes: how many (0 at the end), or -1 with errno.
long long ReadSome(ReadHandle handle, char* into, std::size_t most);
void CloseReading(ReadHandle handle);
// Writes at most `size` bytes of `data`: how many (0 when nothing more fits), or -1 with errno.
long long WriteSome(int fd, const char* data, std::size_t size);

// A new file with a fresh name beside `path` (".name.XXXXXX" in its folder), created
// exclusively (never through a link) with the usual mode, or for its owner alone with
// `ownerOnly` (Linux); its name goes to `made`. The descriptor, or -1 with errno.
int CreateTemporaryBeside(const std::string& path, std::string& made, bool ownerOnly);
// Closes the descriptor: 0, or -1 with errno.
int CloseFile(int fd);
// A folder-name separator of the system ('/'; Windows '\\' too).
bool IsSeparator(char c);
// How much of `path` is its root, no folder to make (Windows: "C:\", "\\server\share\",
// "\\?\C:\"; 0 on Linux).
std::size_t RootLength(const std::string& path);
// Makes one folder: 0, or -1 with errno (EEXIST when something has the name).
int MakeFolder(const std::string& path);
// Removes the file: 0, or -1 with errno.
int RemoveFile(const std::string& path);

}  // namespace platform::files_system
