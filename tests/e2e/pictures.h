// Pictures for the end-to-end tests: the game's archive, its entries decoded, and captures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process.h"

namespace e2e {

// The archive the build packed.
std::string ArchivePath();

// A picture as colours: 0x00RRGGBB a pixel, top-down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y * width + x)]; }
};
// Decodes a .bmp file; fails the test and returns an empty image when it cannot.
Image ReadBmp(const std::string& path);
// Unpacks an entry of the archive (with the game's own reader) and decodes it.
Image ArchiveEntry(const std::string& entry, const std::string& scratchFolder);

using testing_support::ReadFile;

}  // namespace e2e
