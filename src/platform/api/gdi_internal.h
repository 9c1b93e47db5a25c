// GDI's inner model, shared by the GDI files (gdi.cpp: device contexts and pixels;
// gdi_bitmap.cpp: bitmaps and copies; gdi_text.cpp: fonts and text). DirectDraw sees only
// surface_dc.h.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

#include "surface_dc.h"

namespace platform {

// Every GDI object handle points at one of these; handles are checked against the live set.
struct GdiObject {
    virtual ~GdiObject() = default;
    bool stock = false;  // stock objects are never deleted
    int selections = 0;  // how many device contexts have it selected
};

// A device-independent bitmap as loaded from a file: indexed (1/4/8 bits, with its colour
// table) or direct colour (0x00RRGGBB). Rows top-down.
struct Bitmap : GdiObject {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool indexed = false;
    std::vector<RGBQUAD> colours;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint32_t> rgb;
    // The colour of pixel (x, y) as a COLORREF; the caller keeps x, y inside.
    COLORREF ColourAt(int x, int y) const;
};

// A font made by CreateFontA; gdi_text.cpp holds what it needs behind this.
struct Font : GdiObject {};

struct DeviceContext {
    PixelTarget target;         // a surface's pixels; empty for a memory DC
    bool memory = false;        // made by CreateCompatibleDC
    Bitmap* bitmap = nullptr;   // memory DC: the selected bitmap, if any
    GdiObject* font = nullptr;  // the selected font, null for the default font
    COLORREF textColour = 0;    // black
    int backgroundMode = OPAQUE;
    COLORREF backgroundColour = 0xFFFFFF;
};

// The live device context behind a handle, or null.
DeviceContext* FindContext(HDC dc);
// Makes an object's handle live / dead; the handle is the object's address.
HGDIOBJ RegisterObject(GdiObject* object);
void UnregisterObject(GdiObject* object);
// The live object behind a handle, or null.
GdiObject* FindObject(HGDIOBJ handle);

// The palette index whose colour is nearest (squared RGB distance; exact match first,
// lowest index among equals) in the 256 colours in force.
std::uint8_t NearestIndex(COLORREF colour);

}  // namespace platform
