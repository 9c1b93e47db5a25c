#include "canvas.h"

namespace art {

Canvas::Canvas(int width, int height, Index fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), fill) {}

Index Canvas::At(int x, int y) const {
    if (!Contains(x, y)) return kClear;
    return pixels_[static_cast<std::size_t>(y * width_ + x)];
}

void Canvas::Set(int x, int y, Index value) {
    if (Contains(x, y)) pixels_[static_cast<std::size_t>(y * width_ + x)] = value;
}

void Canvas::FillRect(const Rect& rect, Index value) {
    for (int y = rect.y; y < rect.y + rect.h; ++y)
        for (int x = rect.x; x < rect.x + rect.w; ++x) Set(x, y, value);
}

void Canvas::Blit(const Canvas& source, const Rect& from, int dx, int dy, bool keyed) {
    for (int y = 0; y < from.h; ++y)
        for (int x = 0; x < from.w; ++x) {
            if (!source.Contains(from.x + x, from.y + y)) continue;
            const Index value = source.At(from.x + x, from.y + y);
            if (keyed && value == kClear) continue;
            Set(dx + x, dy + y, value);
        }
}

Canvas Canvas::Crop(const Rect& rect) const {
    Canvas out(rect.w, rect.h, kClear);
    out.Blit(*this, rect, 0, 0, false);
    return out;
}

}  // namespace art
