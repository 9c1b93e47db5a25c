// Creating folders for the files the hosts write (captures, settings, screenshots).
#pragma once

#include <string>

namespace platform {

// Creates `path` and every missing parent (like mkdir -p); false when one cannot be made.
bool MakeFolders(const std::string& path);

}  // namespace platform
