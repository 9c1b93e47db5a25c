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
    return platform::EncodeBmp8(canvas.Width(), canvas.Height(), indices.data(), colours);
}

}  // namespace art
