// Palette PNGs of the pictures, for looking at them with ordinary viewers.
#pragma once

#include <string>

#include "picture.h"

namespace art {

// Writes `picture` enlarged `zoom` times (each pixel a zoom × zoom block). Returns false and
// leaves a message in `error` when the file cannot be written.
bool WritePng(const std::string& path, const Picture& picture, int zoom, std::string& error);

}  // namespace art
