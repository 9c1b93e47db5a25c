// The rotation blit: every source pixel is mapped forwards onto one destination pixel through
// the slots' recorded memory, with the game's own angle arithmetic (its value of pi, degrees
// throughout, truncation of the landing position).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "display.h"

namespace {

constexpr double kPi = 3.1415926535;  // the game's value, a hair below pi
constexpr unsigned char kTransparent = 1;
// The fixed limits of the destination (a 640 × 480 screen, less its last column and row).
constexpr int kLimitX = 639;
constexpr int kLimitY = 479;

// The size of a slot's surface; the display's size (every slot has it) when it cannot be asked.
void SlotSize(SurfaceSlot slot, int defaultWidth, int defaultHeight, int& width, int& height) {
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof(DDSURFACEDESC);
    if (SurfaceTable[slot]->GetSurfaceDesc(&description) == DD_OK) {
        width = static_cast<int>(description.dwWidth);
        height = static_cast<int>(description.dwHeight);
    } else {
        width = defaultWidth;
        height = defaultHeight;
    }
}

// Direction of (dx, dy) from the centre in degrees, y growing upwards; the centre and the
// centre lines are decided without an arctangent.
double Direction(int i, int j, int cx, int cy, int dx, int dy) {
    if (i == cx && j == cy) return 0;
    if (i == cx && j < cy) return 90;
    if (i == cx && j > cy) return 270;
    if (i < cx && j == cy) return 180;
    if (i > cx && j == cy) return 0;
    const double fx = dx, fy = dy;
    if (dx < 0 && dy > 0) return 180 - std::atan(fy / -fx) * 180 / kPi;
    if (dx > 0 && dy > 0) return std::atan(fy / fx) * 180 / kPi;
    if (dx < 0 && dy < 0) return std::atan(-fy / -fx) * 180 / kPi + 180;
    return 360 - std::atan(-fy / fx) * 180 / kPi;  // dx > 0, dy < 0
}

}  // namespace

void Display::RotateBlit(int dstX, int dstY, int srcX, int srcY, int boxWidth, int boxHeight,
                         int angle, SurfaceSlot dstSlot, SurfaceSlot srcSlot) {
    if (dstSlot < 0 || dstSlot >= kSurfaceSlots || srcSlot < 0 || srcSlot >= kSurfaceSlots ||
        !SurfaceTable[dstSlot] || !SurfaceTable[srcSlot]) {
        return;
    }
    const int cx = boxWidth / 2;
    const int cy = boxHeight / 2;
    GetSurfaceMemory(dstSlot);
    GetSurfaceMemory(srcSlot);
    unsigned char* const dst = SurfaceMemory[dstSlot];
    const unsigned char* const src = SurfaceMemory[srcSlot];
    // A slot that could not be locked has no memory to read or write.
    if (!dst || !src) return;
    const long dstPitch = SurfacePitch[dstSlot];
    const long srcPitch = SurfacePitch[srcSlot];

    // Writes stay inside the destination slot as well as inside the fixed limits, and reads
    // inside the source slot.
    int dstWidth, dstHeight, srcWidth, srcHeight;
    SlotSize(dstSlot, width, height, dstWidth, dstHeight);
    SlotSize(srcSlot, width, height, srcWidth, srcHeight);
    const long long limitX = dstWidth < kLimitX ? dstWidth : kLimitX;
    const long long limitY = dstHeight < kLimitY ? dstHeight : kLimitY;

    // Only the part of the box that the source slot holds is visited: the rest reads nothing,
    // however large the box.
    const auto first = [](int srcStart, int box) {
        return static_cast<int>(std::clamp(-static_cast<long long>(srcStart), 0LL,
                                           static_cast<long long>(std::max(box, 0))));
    };
    const auto end = [](int srcStart, int box, int srcSize) {
        return static_cast<int>(
            std::min(static_cast<long long>(box), static_cast<long long>(srcSize) - srcStart));
    };
    const int firstJ = first(srcY, boxHeight), endJ = end(srcY, boxHeight, srcHeight);
    const int firstI = first(srcX, boxWidth), endI = end(srcX, boxWidth, srcWidth);
    for (int j = firstJ; j < endJ; ++j) {
        const long long sy = static_cast<long long>(srcY) + j;
        for (int i = firstI; i < endI; ++i) {
            const long long sx = static_cast<long long>(srcX) + i;
            const unsigned char p = src[srcPitch * sy + sx];
            if (p == kTransparent) continue;

            const int dx = i - cx;
            const int dy = cy - j;
            const double r = std::sqrt(static_cast<double>(static_cast<long long>(dx) * dx +
                                                           static_cast<long long>(dy) * dy));
            const double a = (angle + Direction(i, j, cx, cy, dx, dy)) * kPi / 180;
            const long long x = dstX + static_cast<long long>(std::cos(a) * r + cx);
            const long long y = dstY + static_cast<long long>(cy - std::sin(a) * r);
            if (x < 0 || x >= limitX || y < 0 || y >= limitY) continue;
            dst[dstPitch * y + x] = p;
        }
    }
}
