// Shapes as sets of pixels. A pixel belongs to a shape when its centre lies inside it, so edges
// come out hard, with no blended fringe. Pictures are drawn by building masks, combining them and
// then painting them (paint.h).
#pragma once

#include <cstdint>
#include <vector>

namespace art {

struct Point {
    double x = 0, y = 0;
};

class Mask {
  public:
    Mask(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool At(int x, int y) const;  // false outside
    void Set(int x, int y, bool on = true);
    bool Empty() const;
    // The smallest rectangle holding every pixel of the mask (zero size when empty).
    struct Box {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
    };
    Box Bounds() const;

    // Shapes, added to the mask.
    Mask& Rect(double x, double y, double w, double h);
    Mask& RoundRect(double x, double y, double w, double h, double radius);
    Mask& Ellipse(double cx, double cy, double rx, double ry);
    Mask& Polygon(const std::vector<Point>& points);  // even-odd rule
    Mask& Capsule(Point a, Point b, double radius);   // a thick line with round ends
    Mask& Stroke(const std::vector<Point>& path, double radius);

    // Combinations with a mask of the same size.
    Mask& Add(const Mask& other);
    Mask& Subtract(const Mask& other);
    Mask& Intersect(const Mask& other);

    Mask Shifted(int dx, int dy) const;
    Mask Grown(int steps) const;   // 8-neighbour dilation, `steps` times
    Mask Shrunk(int steps) const;  // 8-neighbour erosion
    // The pixels just outside the mask that touch it (8-neighbours): where an outline goes.
    Mask Rim() const;

    // Distance from each pixel of the mask to the nearest pixel outside it, up to `limit`.
    std::vector<float> Depth(int limit) const;

  private:
    template <typename Inside>
    Mask& Fill(double x0, double y0, double x1, double y1, Inside inside);

    int width_, height_;
    std::vector<std::uint8_t> bits_;
};

}  // namespace art
