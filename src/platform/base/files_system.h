// The steps each system's file module gives the shared sequences of files.cpp (not for callers:
// files.h is the interface).
#pragma once

#include <cstddef>
#include <string>

namespace platform::files_system {

// A new file with a fresh name beside `path` (".name.XXXXXX" in its folder), created
// exclusively (never through a link) with the usual mode; its name goes to `made`. The
// descriptor, or -1 with errno.
int CreateTemporaryBeside(const std::string& path, std::string& made);
// Writes all `size` bytes; false with errno.
bool WriteAll(int fd, const char* data, std::size_t size);
// Closes the descriptor: 0, or -1 with errno.
int CloseFile(int fd);
// Removes the file, if it is there.
void RemoveFile(const std::string& path);

}  // namespace platform::files_system
