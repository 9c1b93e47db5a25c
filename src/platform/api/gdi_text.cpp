// gdi text: fonts made by CreateFontA, text colour and background mode, measuring and drawing
// text into a device context's pixels. Glyphs come from the text engine (fontconfig and
// FreeType, one colour, no grey levels) and land as the palette index nearest the text colour.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "faults.h"
#include "gdi_internal.h"
#include "text_engine.h"
#include "trace.h"

namespace {

using platform::DeviceContext;

// A font handle's object: the font as resolved, and the escapement it was asked for (the
// opaque background turns with the baseline).
struct TextFont : platform::Font {
    std::shared_ptr<const platform::text::Font> face;
    int escapement = 0;
    ~TextFont() override { platform::Trace("DeleteFont"); }
};

// The font of every device context that has none selected, made on first use. Null when the
// machine has no font at all.
const platform::text::Font* DefaultFace() {
    static std::unique_ptr<platform::text::Font> face = platform::text::Font::CreateDefault();
    return face.get();
}

// The fonts last built, newest at the back, for the next CreateFontA that asks the same:
// building one sorts every installed font and starts FreeType, most of the cost of a text
// draw that makes its font for the call. A font draws the same whoever used it before.
std::shared_ptr<const platform::text::Font> KeptFont(const platform::text::FontRequest& request) {
    constexpr std::size_t kKept = 8;
    struct Kept {
        platform::text::FontRequest request;
        std::shared_ptr<const platform::text::Font> font;
    };
    static std::vector<Kept> kept;
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->request == request) {
            std::rotate(it, it + 1, kept.end());
            return kept.back().font;
        }
    }
    std::shared_ptr<const platform::text::Font> font = platform::text::Font::Create(request);
    if (!font) return nullptr;
    if (kept.size() == kKept) kept.erase(kept.begin());
    kept.push_back({request, font});
    return font;
}

struct ResolvedFont {
    const platform::text::Font* face = nullptr;
    int escapement = 0;
};

ResolvedFont FontOf(const DeviceContext& context) {
    if (auto* font = dynamic_cast<const TextFont*>(context.font)) {
        return {font->face.get(), font->escapement};
    }
    return {DefaultFace(), 0};
}

// Fills the text's cell (extent width × height from (x, y), turned with the baseline) with
// the background colour, inside the target.
void FillCell(const platform::PixelTarget& target, int x, int y, int width, int height,
              int escapement, std::uint8_t index) {
    if (width <= 0 || height <= 0) return;
    const double radians = (escapement % 3600) / 10.0 * std::numbers::pi / 180.0;
    const double c = escapement % 900 == 0 ? std::round(std::cos(radians)) : std::cos(radians);
    const double s = escapement % 900 == 0 ? std::round(std::sin(radians)) : std::sin(radians);
    // Corners of the cell on the screen: u runs along the baseline, v down the cell.
    double left = x, right = x, top = y, bottom = y;
    for (int corner = 1; corner < 4; ++corner) {
        const double u = (corner & 1) ? width : 0, v = (corner & 2) ? height : 0;
        const double px = x + u * c + v * s, py = y - u * s + v * c;
        left = std::min(left, px), right = std::max(right, px);
        top = std::min(top, py), bottom = std::max(bottom, py);
    }
    // Held to the target before the conversion: a cell near the ends of the int range has
    // corners beyond it.
    const auto inside = [](double value, int size) {
        return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(size)));
    };
    const int x0 = inside(std::floor(left), target.width);
    const int x1 = inside(std::ceil(right), target.width);
    const int y0 = inside(std::floor(top), target.height);
    const int y1 = inside(std::ceil(bottom), target.height);
    for (int py = y0; py < y1; ++py) {
        for (int px = x0; px < x1; ++px) {
            // The pixel's centre, taken back into the cell's own coordinates.
            const double dx = px + 0.5 - x, dy = py + 0.5 - y;
            const double u = dx * c - dy * s, v = dx * s + dy * c;
            if (u >= 0 && u < width && v >= 0 && v < height) {
                target.pixels[static_cast<long>(py) * target.pitch + px] = index;
            }
        }
    }
}

}  // namespace

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                         DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                         DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality,
                         DWORD iPitchAndFamily, LPCSTR pszFaceName) {
    // Orientation, underline, strike-out, precision, quality and family ask for nothing this
    // program's text relies on; the face is chosen by name, character set and weight.
    (void)cOrientation, (void)bUnderline, (void)bStrikeOut, (void)iOutPrecision;
    (void)iClipPrecision, (void)iQuality, (void)iPitchAndFamily;
    if (platform::ShouldFail("CreateFontA")) return nullptr;

    platform::text::FontRequest request;
    request.height = cHeight;
    request.width = cWidth;
    request.escapement = cEscapement;
    request.weight = cWeight;
    request.italic = bItalic != 0;
    request.charSet = static_cast<int>(iCharSet);
    if (pszFaceName) request.faceName = pszFaceName;

    auto face = KeptFont(request);
    platform::Trace("CreateFontA " + std::to_string(cHeight) + " " +
                    (face ? face->FamilyName() : std::string("none")));
    if (!face) return nullptr;
    auto* font = new TextFont;
    font->face = std::move(face);
    font->escapement = cEscapement;
    return reinterpret_cast<HFONT>(platform::RegisterObject(font));
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    DeviceContext* context = platform::FindContext(hdc);
    if (!context) return CLR_INVALID;
    COLORREF previous = context->textColour;
    context->textColour = color & 0x00FFFFFF;
    return previous;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    DeviceContext* context = platform::FindContext(hdc);
    if (!context || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int previous = context->backgroundMode;
    context->backgroundMode = mode;
    return previous;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    DeviceContext* context = platform::FindContext(hdc);
    if (!context || !psizl || c < 0 || (c > 0 && !lpString)) return FALSE;
    ResolvedFont font = FontOf(*context);
    if (!font.face) return FALSE;
    platform::text::TextExtent extent =
        font.face->Measure(std::string_view(lpString ? lpString : "", static_cast<size_t>(c)));
    psizl->cx = extent.width;
    psizl->cy = extent.height;
    return TRUE;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    DeviceContext* context = platform::FindContext(hdc);
    if (!context || c < 0 || (c > 0 && !lpString)) return FALSE;
    platform::Trace("TextOutA " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(c));
    ResolvedFont font = FontOf(*context);
    if (!font.face) return FALSE;
    const std::string_view text(lpString ? lpString : "", static_cast<size_t>(c));
    // Only a surface's device context has pixels of its own to draw into.
    const platform::PixelTarget& target = context->target;
    if (!target.pixels || target.width <= 0 || target.height <= 0) return TRUE;

    if (context->backgroundMode == OPAQUE) {
        platform::text::TextExtent extent = font.face->Measure(text);
        FillCell(target, x, y, extent.width, extent.height, font.escapement,
                 platform::NearestIndex(context->backgroundColour));
    }
    const std::uint8_t index = platform::NearestIndex(context->textColour);
    const platform::text::ClipRect clip{0, 0, target.width, target.height};
    font.face->Draw(x, y, text, clip, [&](int px, int py) {
        if (px < 0 || py < 0 || px >= target.width || py >= target.height) return;
        target.pixels[static_cast<long>(py) * target.pitch + px] = index;
    });
    return TRUE;
}
