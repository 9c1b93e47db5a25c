#include "bmp.h"

#include "bmp_file.h"

namespace art {

std::vector<std::uint8_t> EncodeBmp(const Picture& picture) {
    const Canvas& canvas = picture.canvas;
    std::vector<std::uint8_t> indices;
    indices.reserve(static_cast<std::size_t>(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) indices.push_back(canvas.At(x, y));
    }
    platform::Rgb colours[256];
    for (std::size_t i = 0; i < 256 && i < picture.palette.size(); ++i) {
        colours[i] = {picture.palette[i].r, picture.palette[i].g, picture.palette[i].b};
    }
    std::vector<std::uint8_t> bytes =
        platform::EncodeBmp8(canvas.Width(), canvas.Height(), indices.data(), colours);
    // The archive's pictures have always said 72 dots per inch and all 256 colours important;
    // replays name the archive by its checksum, so its bytes stay as they were.
    if (bytes.size() >= 54) {
        const std::uint32_t dotsPerMetre = 2835, important = 256;
        for (int i = 0; i < 4; ++i) {
            bytes[38 + i] = bytes[42 + i] = static_cast<std::uint8_t>(dotsPerMetre >> (8 * i));
            bytes[50 + i] = static_cast<std::uint8_t>(important >> (8 * i));
        }
    }
    return bytes;
}

}  // namespace art
