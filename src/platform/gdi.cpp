// gdi: device contexts over surface memory and memory bitmaps, pixels, and the conversion of
// colours to the palette indices in force.
#include <cstring>
#include <memory>
#include <set>

#include <windows.h>

#include "ddraw_internal.h"
#include "gdi_internal.h"

namespace {

struct StockObject {
    int kind;
};
StockObject stockObjects[18];

struct DeviceContext {
    platform::PixelTarget target;
};

std::set<DeviceContext*>& LiveContexts() {
    static std::set<DeviceContext*> contexts;
    return contexts;
}

DeviceContext* FindContext(HDC dc) {
    auto* context = reinterpret_cast<DeviceContext*>(dc);
    return LiveContexts().count(context) ? context : nullptr;
}

// Colour-to-index lookups, remembered until the colours in force change.
struct NearestCache {
    unsigned generation = 0;
    PALETTEENTRY colours[256];
};

}  // namespace

namespace platform {

HDC CreateSurfaceDC(const PixelTarget& target) {
    auto* context = new DeviceContext{target};
    LiveContexts().insert(context);
    return reinterpret_cast<HDC>(context);
}

void DestroySurfaceDC(HDC dc) {
    DeviceContext* context = FindContext(dc);
    if (!context) return;
    LiveContexts().erase(context);
    delete context;
}

std::uint8_t NearestIndex(COLORREF colour) {
    static NearestCache cache;
    if (cache.generation != ColoursGeneration()) {
        ColoursInForce(cache.colours);
        cache.generation = ColoursGeneration();
    }
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = cache.colours[i];
        long dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
        long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace platform

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < 0 || i >= static_cast<int>(sizeof stockObjects / sizeof stockObjects[0]))
        return nullptr;
    stockObjects[i].kind = i;
    return &stockObjects[i];
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour) {
    DeviceContext* context = FindContext(dc);
    if (!context || x < 0 || y < 0 || x >= context->target.width || y >= context->target.height) {
        return CLR_INVALID;
    }
    std::uint8_t index = platform::NearestIndex(colour);
    context->target.pixels[static_cast<long>(y) * context->target.pitch + x] = index;
    PALETTEENTRY colours[256];
    platform::ColoursInForce(colours);
    return RGB(colours[index].peRed, colours[index].peGreen, colours[index].peBlue);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    DeviceContext* context = FindContext(dc);
    if (!context || x < 0 || y < 0 || x >= context->target.width || y >= context->target.height) {
        return CLR_INVALID;
    }
    std::uint8_t index = context->target.pixels[static_cast<long>(y) * context->target.pitch + x];
    PALETTEENTRY colours[256];
    platform::ColoursInForce(colours);
    return RGB(colours[index].peRed, colours[index].peGreen, colours[index].peBlue);
}
