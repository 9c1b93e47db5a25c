// Text onto a slot through GDI: plain text in the device context's defaults, and text in a
// font made for the call, with an optional drop shadow and centring on a point.
#include <cstring>

#include "display.h"
#include "services.h"

void Display::WriteText(SurfaceSlot slot, int x, int y, const char* text) {
    if (slot < 0 || slot >= kSurfaceSlots || !SurfaceTable[slot]) return;
    HDC dc = nullptr;
    if (SurfaceTable[slot]->GetDC(&dc) != DD_OK) return;
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    SurfaceTable[slot]->ReleaseDC(dc);
}

void Display::DrawFontText(int x, int y, int centreX, int centreY, const char* text,
                           int glyphHeight, int glyphWidth, int weight, int shadow, COLORREF colour,
                           unsigned italic, const char* faceName, unsigned charSet,
                           SurfaceSlot slot, int escapement) {
    HFONT font = CreateFontA(glyphHeight, glyphWidth, escapement, 0, weight, italic, 0, 0, charSet,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, faceName);
    if (!font) FatalError("font");

    // Without a device context there is nothing to draw into; the font still goes.
    HDC dc = nullptr;
    if (SurfaceTable[slot]->GetDC(&dc) == DD_OK) {
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ previousFont = SelectObject(dc, font);
        SIZE extent{0, 0};
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
        // -1 is a marker only: any other negative value is a position.
        if (x == -1) x = centreX - extent.cx / 2;
        if (y == -1) y = centreY - extent.cy / 2;

        // In windowed mode slot 0 is the whole desktop; the play area lies at WindowOrigin.
        int ox = 0, oy = 0;
        if (!fullScreen && slot == 0) {
            ox = WindowOrigin.x;
            oy = WindowOrigin.y;
        }
        if (shadow != 0) {
            const PALETTEENTRY& back = MasterPalette[0];
            COLORREF previous = SetTextColor(dc, RGB(back.peRed, back.peGreen, back.peBlue));
            TextOutA(dc, x + shadow + ox, y + shadow + oy, text,
                     static_cast<int>(std::strlen(text)));
            SetTextColor(dc, previous);
        }
        COLORREF previous = SetTextColor(dc, colour);
        TextOutA(dc, x + ox, y + oy, text, static_cast<int>(std::strlen(text)));
        SetTextColor(dc, previous);

        SelectObject(dc, previousFont);
        SurfaceTable[slot]->ReleaseDC(dc);
    }
    DeleteObject(font);
}
