// Screenshots: the screen as a paletted PNG, in the user's pictures folder (as user-dirs.dirs names
// it, else ~/Pictures) under tavlo/, named by date and time and never written over an existing
// file.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "host.h"

namespace sdl {

// tavlo-YYYY-MM-DD-HHMMSS.png for attempt 0, then tavlo-YYYY-MM-DD-HHMMSS-2.png, -3 ...
std::string ScreenshotName(const std::tm& localTime, int attempt);
// The game's folder in the user's pictures folder (platform::GameFolderPath: on Linux
// <pictures>/tavlo, the pictures folder being $XDG_PICTURES_DIR (absolute), else the one
// ${XDG_CONFIG_HOME:-~/.config}/user-dirs.dirs names, else ~/Pictures); empty when none can be
// known.
std::string ScreenshotFolder();
// Writes `image` as an 8-bit paletted PNG (all 256 colours, indices as they are) to an open file.
[[nodiscard]] bool WritePalettedPng(std::FILE* file, const host::ScreenImage& image);
// Creates `folder` when missing and writes the picture under the first free name for `when`.
// Returns the file's path, or an empty string when nothing could be written.
std::string SaveScreenshot(const std::string& folder, const host::ScreenImage& image,
                           std::time_t when);

}  // namespace sdl
