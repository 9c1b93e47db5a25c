// gdi: device contexts over surface memory and memory bitmaps, pixels, and the conversion of
// colours to the palette indices in force.
#include <cstring>
#include <memory>
#include <set>

#include <windows.h>

#include "gdi_internal.h"
#include "surface_dc.h"

namespace {

using platform::DeviceContext;
using platform::GdiObject;

std::set<DeviceContext*>& LiveContexts() {
    static std::set<DeviceContext*> contexts;
    return contexts;
}

std::set<GdiObject*>& LiveObjects() {
    static std::set<GdiObject*> objects;
    return objects;
}

// Brushes and fonts from GetStockObject: handles that exist, are never deleted and do nothing
// the program relies on.
struct StockObject : GdiObject {};

// What a new memory DC holds before a bitmap is selected (a 1×1 monochrome bitmap on Windows),
// and the font every DC starts with. Selecting them back puts the DC in its first state.
StockObject* Registered(StockObject& object) {
    if (!object.stock) {
        object.stock = true;
        platform::RegisterObject(&object);
    }
    return &object;
}

GdiObject* DefaultBitmap() {
    static StockObject object;
    return Registered(object);
}

GdiObject* DefaultFont() {
    static StockObject object;
    return Registered(object);
}

// Colour-to-index lookups, remembered until the colours in force change.
struct NearestCache {
    unsigned generation = 0;
    PALETTEENTRY colours[256];
};

}  // namespace

namespace platform {

DeviceContext* FindContext(HDC dc) {
    auto* context = reinterpret_cast<DeviceContext*>(dc);
    return LiveContexts().count(context) ? context : nullptr;
}

HGDIOBJ RegisterObject(GdiObject* object) {
    LiveObjects().insert(object);
    return reinterpret_cast<HGDIOBJ>(object);
}

void UnregisterObject(GdiObject* object) {
    LiveObjects().erase(object);
}

GdiObject* FindObject(HGDIOBJ handle) {
    auto* object = reinterpret_cast<GdiObject*>(handle);
    return LiveObjects().count(object) ? object : nullptr;
}

HDC CreateSurfaceDC(const PixelTarget& target) {
    auto* context = new DeviceContext;
    context->target = target;
    LiveContexts().insert(context);
    return reinterpret_cast<HDC>(context);
}

void DestroySurfaceDC(HDC dc) {
    DeviceContext* context = platform::FindContext(dc);
    if (!context) return;
    LiveContexts().erase(context);
    if (context->font) --context->font->selections;
    if (context->bitmap) --context->bitmap->selections;
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
    static StockObject objects[20];
    if (i < 0 || i >= 20) return nullptr;
    return Registered(objects[i]);
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
    if (dc != nullptr && !platform::FindContext(dc)) return nullptr;
    auto* context = new DeviceContext;
    context->memory = true;
    LiveContexts().insert(context);
    return reinterpret_cast<HDC>(context);
}

BOOL WINAPI DeleteDC(HDC dc) {
    DeviceContext* context = platform::FindContext(dc);
    // A surface's device context goes back through ReleaseDC, not here.
    if (!context || !context->memory) return FALSE;
    platform::DestroySurfaceDC(dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ handle) {
    DeviceContext* context = platform::FindContext(dc);
    GdiObject* object = platform::FindObject(handle);
    if (!context || !object) return nullptr;

    if (dynamic_cast<platform::Font*>(object) || object == DefaultFont()) {
        GdiObject* previous = context->font ? context->font : DefaultFont();
        if (context->font) --context->font->selections;
        context->font = object == DefaultFont() ? nullptr : object;
        if (context->font) ++context->font->selections;
        return reinterpret_cast<HGDIOBJ>(previous);
    }

    auto* bitmap = dynamic_cast<platform::Bitmap*>(object);
    if (!bitmap && object != DefaultBitmap()) return handle;  // brushes: nothing to hold
    // Only a memory device context holds a bitmap, and a bitmap sits in one at a time.
    if (!context->memory || (bitmap && bitmap->selections > 0 && context->bitmap != bitmap)) {
        return nullptr;
    }
    GdiObject* previous =
        context->bitmap ? static_cast<GdiObject*>(context->bitmap) : DefaultBitmap();
    if (context->bitmap) --context->bitmap->selections;
    context->bitmap = bitmap;
    if (bitmap) ++bitmap->selections;
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    GdiObject* object = platform::FindObject(handle);
    if (!object) return FALSE;
    if (object->stock) return TRUE;
    if (object->selections > 0) return FALSE;  // still selected into a device context
    platform::UnregisterObject(object);
    delete object;
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour) {
    DeviceContext* context = platform::FindContext(dc);
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
    DeviceContext* context = platform::FindContext(dc);
    if (!context || x < 0 || y < 0 || x >= context->target.width || y >= context->target.height) {
        return CLR_INVALID;
    }
    std::uint8_t index = context->target.pixels[static_cast<long>(y) * context->target.pitch + x];
    PALETTEENTRY colours[256];
    platform::ColoursInForce(colours);
    return RGB(colours[index].peRed, colours[index].peGreen, colours[index].peBlue);
}
