#include "bmp.h"

namespace art {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Picture& picture) {
    const Canvas& canvas = picture.canvas;
    const auto width = static_cast<std::uint32_t>(canvas.Width());
    const auto height = static_cast<std::uint32_t>(canvas.Height());
    const std::uint32_t stride = (width + 3) & ~3u;  // rows are padded to four bytes
    const std::uint32_t tableBytes = 256 * 4;
    const std::uint32_t pixelOffset = 14 + 40 + tableBytes;
    const std::uint32_t imageBytes = stride * height;

    std::vector<std::uint8_t> out;
    out.reserve(pixelOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, pixelOffset + imageBytes);
    Put32(out, 0);  // reserved
    Put32(out, pixelOffset);

    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);  // positive: bottom-up
    Put16(out, 1);       // planes
    Put16(out, 8);       // bits per pixel
    Put32(out, 0);       // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dots per inch, in dots per metre
    Put32(out, 2835);
    Put32(out, 256);  // colours used
    Put32(out, 256);  // colours important

    for (const Rgb& c : picture.palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = canvas.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.Width(); ++x) out.push_back(canvas.At(x, y));
        for (std::uint32_t pad = width; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

}  // namespace art
