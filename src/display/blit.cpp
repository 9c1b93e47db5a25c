// Copies between slots, the clipping rule, colour fills and the recovery of lost surfaces.
#include <cstring>

#include "display.h"

void Display::Blit(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                   SurfaceSlot srcSlot, DWORD flags) {
    RECT source{sx, sy, sx + w, sy + h};
    SurfaceTable[dstSlot]->BltFast(static_cast<DWORD>(dx), static_cast<DWORD>(dy),
                                   SurfaceTable[srcSlot], &source, flags);
}

void Display::BlitRect(int dx, int dy, RECT* source, SurfaceSlot dstSlot, SurfaceSlot srcSlot,
                       DWORD flags) {
    SurfaceTable[dstSlot]->BltFast(static_cast<DWORD>(dx), static_cast<DWORD>(dy),
                                   SurfaceTable[srcSlot], source, flags);
}

bool Display::ClipRect(int* dx, int* dy, int* sx, int* sy, int* w, int* h) {
    if (*dx < 0) {
        *w = *w + *dx;
        *sx = *sx - *dx;
        *dx = 0;
        if (*w < 1) return true;
    }
    if (*dy < 0) {
        *h = *h + *dy;
        *sy = *sy - *dy;
        *dy = 0;
        if (*h < 1) return true;
    }
    if (*dx >= width) return true;
    if (*dy >= height) return true;
    if (*dx + *w > width) *w = width - *dx;
    if (*dy + *h > height) *h = height - *dy;
    return false;
}

void Display::BlitClipped(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                          SurfaceSlot srcSlot, DWORD flags) {
    if (ClipRect(&dx, &dy, &sx, &sy, &w, &h)) return;
    Blit(dx, dy, sx, sy, w, h, dstSlot, srcSlot, flags);
}

void Display::FillSlot(SurfaceSlot slot, DWORD colour) {
    fillFx.dwFillColor = colour;
    SurfaceTable[slot]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fillFx);
}

void Display::ClearRect(SurfaceSlot slot, int x, int y, int w, int h) {
    RECT rectangle{x, y, x + w, y + h};
    SurfaceTable[slot]->Blt(&rectangle, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &clearFx);
}

void Display::FrameRect(SurfaceSlot slot, int x, int y, int w, int h, unsigned char colour) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof(DDBLTFX);
    fx.dwFillColor = colour;
    RECT edges[4] = {{x, y, x + w + 1, y + 1},
                     {x, y + h, x + w + 1, y + h + 1},
                     {x, y, x + 1, y + h + 1},
                     {x + w, y, x + w + 1, y + h + 1}};
    for (RECT& edge : edges) {
        SurfaceTable[slot]->Blt(&edge, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
}

void Display::RestoreSurfaces() {
    for (int slot = 2; slot <= 9; ++slot) {
        if (SurfaceTable[slot]->IsLost()) SurfaceTable[slot]->Restore();
    }
    if (SurfaceTable[0]->IsLost()) SurfaceTable[0]->Restore();
    ClearSlot(0);
    Present();
}
