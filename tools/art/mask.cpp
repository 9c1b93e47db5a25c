#include "mask.h"

#include <algorithm>
#include <cmath>

namespace art {

Mask::Mask(int width, int height)
    : width_(width), height_(height), bits_(static_cast<std::size_t>(width * height), 0) {}

bool Mask::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return bits_[static_cast<std::size_t>(y * width_ + x)] != 0;
}

void Mask::Set(int x, int y, bool on) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    bits_[static_cast<std::size_t>(y * width_ + x)] = on ? 1 : 0;
}

bool Mask::Empty() const {
    return std::none_of(bits_.begin(), bits_.end(), [](std::uint8_t b) { return b != 0; });
}

Mask::Box Mask::Bounds() const {
    Box box{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (At(x, y)) {
                box.x0 = std::min(box.x0, x), box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x + 1), box.y1 = std::max(box.y1, y + 1);
            }
    if (box.x1 == 0) box = {};
    return box;
}

template <typename Inside>
Mask& Mask::Fill(double x0, double y0, double x1, double y1, Inside inside) {
    const int xa = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    const int ya = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    const int xb = std::min(width_ - 1, static_cast<int>(std::ceil(x1)) + 1);
    const int yb = std::min(height_ - 1, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = ya; y <= yb; ++y)
        for (int x = xa; x <= xb; ++x)
            if (inside(x + 0.5, y + 0.5)) Set(x, y);
    return *this;
}

Mask& Mask::Rect(double x, double y, double w, double h) {
    return Fill(x, y, x + w, y + h, [&](double px, double py) {
        return px >= x && px < x + w && py >= y && py < y + h;
    });
}

Mask& Mask::RoundRect(double x, double y, double w, double h, double radius) {
    return Fill(x, y, x + w, y + h, [&](double px, double py) {
        if (px < x || px >= x + w || py < y || py >= y + h) return false;
        const double cx = std::clamp(px, x + radius, x + w - radius);
        const double cy = std::clamp(py, y + radius, y + h - radius);
        return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= radius * radius;
    });
}

Mask& Mask::Ellipse(double cx, double cy, double rx, double ry) {
    return Fill(cx - rx, cy - ry, cx + rx, cy + ry, [&](double px, double py) {
        const double u = (px - cx) / rx, v = (py - cy) / ry;
        return u * u + v * v <= 1.0;
    });
}

Mask& Mask::Polygon(const std::vector<Point>& points) {
    if (points.size() < 3) return *this;
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    return Fill(x0, y0, x1, y1, [&](double px, double py) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Point& a = points[i];
            const Point& b = points[j];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside;
    });
}

Mask& Mask::Capsule(Point a, Point b, double radius) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    return Fill(std::min(a.x, b.x) - radius, std::min(a.y, b.y) - radius,
                std::max(a.x, b.x) + radius, std::max(a.y, b.y) + radius,
                [&](double px, double py) {
                    double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
                    t = std::clamp(t, 0.0, 1.0);
                    const double ex = a.x + t * dx - px, ey = a.y + t * dy - py;
                    return ex * ex + ey * ey <= radius * radius;
                });
}

Mask& Mask::Stroke(const std::vector<Point>& path, double radius) {
    if (path.size() == 1) Capsule(path[0], path[0], radius);
    for (std::size_t i = 1; i < path.size(); ++i) Capsule(path[i - 1], path[i], radius);
    return *this;
}

Mask& Mask::Add(const Mask& other) {
    for (std::size_t i = 0; i < bits_.size(); ++i) bits_[i] |= other.bits_[i];
    return *this;
}

Mask& Mask::Subtract(const Mask& other) {
    for (std::size_t i = 0; i < bits_.size(); ++i)
        bits_[i] &= static_cast<std::uint8_t>(!other.bits_[i]);
    return *this;
}

Mask& Mask::Intersect(const Mask& other) {
    for (std::size_t i = 0; i < bits_.size(); ++i) bits_[i] &= other.bits_[i];
    return *this;
}

Mask Mask::Shifted(int dx, int dy) const {
    Mask out(width_, height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (At(x, y)) out.Set(x + dx, y + dy);
    return out;
}

Mask Mask::Grown(int steps) const {
    Mask out = *this;
    for (int s = 0; s < steps; ++s) {
        Mask next = out;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (!out.At(x, y))
                    for (int v = -1; v <= 1 && !next.At(x, y); ++v)
                        for (int u = -1; u <= 1; ++u)
                            if (out.At(x + u, y + v)) {
                                next.Set(x, y);
                                break;
                            }
        out = next;
    }
    return out;
}

Mask Mask::Shrunk(int steps) const {
    Mask out = *this;
    for (int s = 0; s < steps; ++s) {
        Mask next = out;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (out.At(x, y))
                    for (int v = -1; v <= 1 && next.At(x, y); ++v)
                        for (int u = -1; u <= 1; ++u)
                            if (!out.At(x + u, y + v)) {
                                next.Set(x, y, false);
                                break;
                            }
        out = next;
    }
    return out;
}

Mask Mask::Rim() const {
    Mask out = Grown(1);
    out.Subtract(*this);
    return out;
}

std::vector<float> Mask::Depth(int limit) const {
    std::vector<float> depth(bits_.size(), 0.0f);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            if (!At(x, y)) continue;
            int best2 = (limit + 1) * (limit + 1);
            for (int v = -limit - 1; v <= limit + 1; ++v)
                for (int u = -limit - 1; u <= limit + 1; ++u) {
                    const int d2 = u * u + v * v;
                    if (d2 < best2 && !At(x + u, y + v)) best2 = d2;
                }
            depth[static_cast<std::size_t>(y * width_ + x)] =
                std::min(static_cast<float>(limit), std::sqrt(static_cast<float>(best2)));
        }
    return depth;
}

}  // namespace art
