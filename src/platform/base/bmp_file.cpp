// The 8-bit .bmp writer.
#include "bmp_file.h"

#include "byte_order.h"

namespace platform {

using std::size_t;
using std::uint32_t;
using std::uint8_t;

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;

void Put16(std::vector<uint8_t>& out, std::uint16_t v) {
    AppendLe16(out, v);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    AppendLe32(out, v);
}

}  // namespace

std::vector<uint8_t> EncodeBmp8(int width, int height, const uint8_t* indicesTopDown,
                                const Rgb palette[256]) {
    if (width <= 0 || height <= 0 || width > kMaxBmpDimension || height > kMaxBmpDimension ||
        std::int64_t{width} * height > kMaxBmpPixels || indicesTopDown == nullptr ||
        palette == nullptr) {
        return {};
    }
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    const uint32_t offBits = kFileHeaderSize + kInfoHeaderSize + 256 * 4;

    std::vector<uint8_t> out;
    out.reserve(offBits + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + imageSize);
    Put32(out, 0);  // reserved
    Put32(out, offBits);

    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));  // positive: bottom-up
    Put16(out, 1);                              // planes
    Put16(out, 8);                              // bit count
    Put32(out, kBiRgb);
    Put32(out, imageSize);
    Put32(out, 0);  // pixels per metre, x and y: unspecified
    Put32(out, 0);
    Put32(out, 256);  // colours used
    Put32(out, 0);    // colours important: all

    for (int i = 0; i < 256; ++i) {
        out.push_back(palette[i].b);
        out.push_back(palette[i].g);
        out.push_back(palette[i].r);
        out.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = indicesTopDown + static_cast<size_t>(y) * width;
        out.insert(out.end(), row, row + width);
        out.insert(out.end(), stride - width, 0);
    }
    return out;
}

}  // namespace platform
