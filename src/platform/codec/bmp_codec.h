// Windows .bmp files in memory: the decoder for what LoadImageA is given from a file. Plain
// C++ on byte buffers; the GDI layer wraps it. The writer is bmp_file.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "bmp_file.h"

namespace platform {

// A decoded picture, always stored top-down (row 0 is the top row on screen).
struct DecodedBitmap {
    int width = 0;
    int height = 0;        // always positive
    int bitCount = 0;      // as in the file: 1, 4, 8, 16, 24 or 32
    bool topDown = false;  // the file stored its rows top-down (negative height)

    // Pictures of 8 bits or fewer: the colour table as the file gives it (the colours-used
    // count, or 2^bitCount when that is 0, never more than 2^bitCount), and one table index a
    // pixel. An index may reach past the table (a short table); such a pixel is black, see
    // ColourAt.
    bool indexed = false;
    std::vector<Rgb> colours;
    std::vector<uint8_t> indices;  // width * height, top-down

    // Pictures of 16, 24 or 32 bits: 0x00RRGGBB a pixel, width * height, top-down.
    std::vector<uint32_t> rgb;

    Rgb ColourAt(uint8_t index) const { return index < colours.size() ? colours[index] : Rgb{}; }
    // The pixel at (x, y) as 0x00RRGGBB, whatever the depth; x and y must be inside the picture.
    uint32_t PixelRgb(int x, int y) const;
};

// Reads a whole .bmp file: "BM" file header, then a BITMAPCOREHEADER (12 bytes),
// BITMAPINFOHEADER (40) or one of its longer forms (52, 56, 108, 124; the extra fields are
// ignored except the colour masks). Depths 1, 4, 8, 16, 24, 32; compression BI_RGB, BI_RLE8,
// BI_RLE4 and BI_BITFIELDS (16 and 32 bits). Pixel data starts at the file header's offset
// field (or right behind the colour table when the offset points into the headers).
//
// Returns nullopt for anything it cannot read: a damaged or unknown header, a size of 0 or
// beyond kMaxBmpDimension / kMaxBmpPixels, uncompressed pixel data shorter than the picture
// (the last row may lack its padding), a colour table cut short by the end of the file,
// compression that does not fit the depth, a top-down RLE picture.
//
// RLE data is decoded as far as it makes sense; pixels it never reaches stay index 0. A run or
// literal that passes the right edge loses the pixels beyond it; a delta or end of line that
// leaves the picture, or data that ends without an end-of-bitmap code, ends decoding there.
std::optional<DecodedBitmap> DecodeBmp(const uint8_t* data, size_t size);

}  // namespace platform
