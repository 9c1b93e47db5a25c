#include "pictures.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "archive.h"
#include "bmp_codec.h"
#include "process.h"

namespace e2e {

std::string ArchivePath() {
    return std::string(TAVLO_BINARY_DIR) + "/tavlo.rka";
}

Image ReadBmp(const std::string& path) {
    const std::string bytes = ReadFile(path);
    auto decoded =
        platform::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    Image image;
    EXPECT_TRUE(decoded.has_value()) << path;
    if (!decoded) return image;
    image.width = decoded->width;
    image.height = decoded->height;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.rgb.push_back(decoded->PixelRgb(x, y));
    return image;
}

Image ArchiveEntry(const std::string& entry, const std::string& scratchFolder) {
    const std::string out = scratchFolder + "/" + entry;
    Archive.OpenDirectory(ArchivePath().c_str());
    Archive.ExtractToFile(entry.c_str(), out.c_str());
    return ReadBmp(out);
}

}  // namespace e2e
