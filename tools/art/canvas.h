// An 8-bit picture in memory: one palette index per pixel, row after row, top row first.
#pragma once

#include <cstdint>
#include <vector>

#include "palette.h"

namespace art {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

class Canvas {
  public:
    Canvas(int width, int height, Index fill = kBlack);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Reads outside the canvas give kClear; writes outside it are dropped.
    Index At(int x, int y) const;
    void Set(int x, int y, Index value);

    void FillRect(const Rect& rect, Index value);
    // Copies `from` of `source` to (dx, dy); with `keyed`, kClear pixels of the source are skipped,
    // as the game's transparent copies do.
    void Blit(const Canvas& source, const Rect& from, int dx, int dy, bool keyed);
    Canvas Crop(const Rect& rect) const;

    const std::vector<Index>& Pixels() const { return pixels_; }

  private:
    int width_, height_;
    std::vector<Index> pixels_;
};

}  // namespace art
