// The SDL host's conversion of the 8-bit screen and its 256 colours to 32-bit pixels: into a
// texture as they are, or straight into a window's pixels at a whole scale factor, and the rows
// that changed between two pictures.
#pragma once

#include <cstdint>
#include <vector>

#include "host.h"

namespace sdl {

// Writes width × height ARGB8888 pixels (opaque) to `out`, whose rows are `outPitch` bytes apart.
void ConvertScreen(const std::uint8_t* pixels, int width, int height, int pitch,
                   const platform::Rgb* colours, std::uint32_t* out, int outPitch);

// Rows [first, end) of the picture, each source pixel becoming factor × factor pixels of
// lookup[index] (any 32-bit format): source row y lands at output rows factor × y onwards of
// `out`, the picture's top-left pixel in the output, whose rows are `outPitch` bytes apart.
void ScaleRows(const std::uint8_t* pixels, int width, int pitch, int first, int end,
               const std::uint32_t* lookup, int factor, std::uint8_t* out, int outPitch);

// A stretch of rows [first, end).
struct RowSpan {
    int first = 0;
    int end = 0;
    bool operator==(const RowSpan&) const = default;
};

// The stretches of rows in which two width × height pictures (rows `width` bytes apart) differ,
// top to bottom; neighbouring changed rows form one stretch.
std::vector<RowSpan> ChangedRows(const std::uint8_t* before, const std::uint8_t* after, int width,
                                 int height);

}  // namespace sdl
