// Fonts and text drawing. A Font owns its own FreeType library and faces, so fonts made and
// deleted around every call share no state. Sizes follow CreateFontA: a positive height is the
// text cell (the face's Windows ascent + descent), a negative one the em. Which faces there are
// is the system's part (font_files.h); the drawing is the same everywhere.
#include "text_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "font_files.h"

namespace platform::text {
namespace {

constexpr size_t kMaxFaces = 8;  // the primary face and the faces borrowed for missing glyphs
constexpr double kObliqueShear = 0.2126;  // the slant FreeType uses for its synthetic italic

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80           ? 1
                        : (b >> 5) == 0x6  ? 2
                        : (b >> 4) == 0xE  ? 3
                        : (b >> 3) == 0x1E ? 4
                                           : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? b : b & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

struct Face {
    FT_Face face = nullptr;
    bool embolden = false;
    bool oblique = false;
};

FT_Pos ToFixed(double pixels) {
    return static_cast<FT_Pos>(std::lround(pixels * 64.0));
}

int64_t FloorDiv64(int64_t v) {
    return v >= 0 ? v / 64 : -((-v + 63) / 64);
}

}  // namespace

struct Font::Impl {
    FT_Library library = nullptr;
    FontRequest request;
    int pixels = 0;                                      // the size the finder is told about
    std::vector<Face> faces;                             // faces[0] is the primary face
    std::vector<std::pair<std::string, int>> faceFiles;  // file and index of each face
    std::unordered_map<char32_t, size_t> faceForChar;
    FontMetrics metrics;
    std::string family;
    FT_F26Dot6 charWidth = 0, charHeight = 0;  // the em, horizontally and vertically
    double cosA = 1.0, sinA = 0.0;
    bool rotated = false;
    FT_Pos boldStrength = 64;

    ~Impl() {
        if (library) FT_Done_FreeType(library);  // also closes the faces
    }

    FT_Error SetSize(FT_Face face) const {
        return FT_Set_Char_Size(face, charWidth, charHeight, 72, 72);
    }

    // Opens a face the finder offered as a face of this font, or gives the index of the face
    // already open for it; -1 if it is not a usable scalable font.
    int Open(const FaceFile& file) {
        const std::pair<std::string, int> key{file.path, file.index};
        for (size_t i = 0; i < faceFiles.size(); ++i) {
            if (faceFiles[i] == key) return static_cast<int>(i);
        }
        if (faces.size() >= kMaxFaces) return -1;
        FT_Face face = nullptr;
        if (OpenFaceFile(library, file, &face) != 0) return -1;
        if (!FT_IS_SCALABLE(face) || (charHeight && SetSize(face) != 0)) {
            FT_Done_Face(face);
            return -1;
        }
        faces.push_back(
            Face{face, request.weight >= 600 && !file.bold, request.italic && !file.italic});
        faceFiles.push_back(key);
        return static_cast<int>(faces.size() - 1);
    }

    // The face that draws cp: the primary one if it has the character, else the face the
    // finder offers for the request plus that character, else the primary one (whose
    // missing-glyph box then shows).
    size_t FaceFor(char32_t cp) {
        if (FT_Get_Char_Index(faces[0].face, cp) != 0) return 0;
        if (auto it = faceForChar.find(cp); it != faceForChar.end()) return it->second;
        size_t found = 0;
        for (const FaceFile& file : FacesWith(request, pixels, cp)) {
            const int f = Open(file);
            if (f >= 0 && FT_Get_Char_Index(faces[f].face, cp) != 0) {
                found = f;
                break;
            }
        }
        faceForChar.emplace(cp, found);
        return found;
    }

    bool NeedsOutline(const Face& f) const { return rotated || f.embolden || f.oblique; }

    // Loads one character's glyph into its face's slot, untransformed, and gives its advance in
    // whole pixels. Returns null when the glyph cannot be loaded.
    FT_GlyphSlot Load(size_t faceIndex, char32_t cp, int* advance) {
        const Face& f = faces[faceIndex];
        FT_Int32 flags = FT_LOAD_TARGET_MONO;
        if (NeedsOutline(f)) flags |= FT_LOAD_NO_BITMAP;
        if (FT_Load_Glyph(f.face, FT_Get_Char_Index(f.face, cp), flags) != 0) {
            *advance = 0;
            return nullptr;
        }
        FT_GlyphSlot slot = f.face->glyph;
        *advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (f.embolden) *advance += static_cast<int>(boldStrength >> 6);
        return slot;
    }

    int Draw(int x, int y, std::u32string_view text, const ClipRect& clip,
             const std::function<void(int, int)>& plot);
};

int Font::Impl::Draw(int x, int y, std::u32string_view text, const ClipRect& clip,
                     const std::function<void(int, int)>& plot) {
    int64_t pen = 0;
    for (char32_t cp : text) {
        const size_t faceIndex = FaceFor(cp);
        const Face& f = faces[faceIndex];
        int advance = 0;
        FT_GlyphSlot slot = Load(faceIndex, cp, &advance);
        // The glyph's origin on the turned baseline, in 26.6 screen coordinates (y down).
        const double u = static_cast<double>(pen), v = metrics.ascent;
        const int64_t px = std::llround((x + u * cosA + v * sinA) * 64.0);
        const int64_t py = std::llround((y - u * sinA + v * cosA) * 64.0);
        pen += advance;
        if (!slot) continue;
        const int64_t ix = FloorDiv64(px), iy = FloorDiv64(py);

        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline* outline = &slot->outline;
            if (f.embolden) {
                // Widen to the right only, as a bold made by overstriking would.
                FT_Outline_EmboldenXY(outline, boldStrength, 0);
                FT_Outline_Translate(outline, boldStrength / 2, 0);
            }
            if (f.oblique || rotated) {
                // Shear first (in the glyph's own frame), then turn; FreeType's y points up.
                const double k = f.oblique ? kObliqueShear : 0.0;
                FT_Matrix m;
                m.xx = static_cast<FT_Fixed>(std::lround(cosA * 65536.0));
                m.xy = static_cast<FT_Fixed>(std::lround((cosA * k - sinA) * 65536.0));
                m.yx = static_cast<FT_Fixed>(std::lround(sinA * 65536.0));
                m.yy = static_cast<FT_Fixed>(std::lround((sinA * k + cosA) * 65536.0));
                FT_Outline_Transform(outline, &m);
            }
            FT_Outline_Translate(outline, static_cast<FT_Pos>(px - ix * 64),
                                 -static_cast<FT_Pos>(py - iy * 64));
            FT_BBox box;
            FT_Outline_Get_CBox(outline, &box);
            if (ix + FloorDiv64(box.xMax) + 1 < clip.left ||
                ix + FloorDiv64(box.xMin) > clip.right ||
                iy - FloorDiv64(box.yMin) + 1 < clip.top ||
                iy - FloorDiv64(box.yMax) - 1 > clip.bottom) {
                continue;  // wholly outside: not worth rendering
            }
        }
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
            continue;
        }
        const FT_Bitmap& bm = slot->bitmap;
        const int64_t left = ix + slot->bitmap_left;
        const int64_t top = iy - slot->bitmap_top;
        const int rows = static_cast<int>(bm.rows), width = static_cast<int>(bm.width);
        const int stride = std::abs(bm.pitch);
        for (int r = 0; r < rows; ++r) {
            const int64_t sy = top + r;
            if (sy < clip.top || sy >= clip.bottom) continue;
            const unsigned char* line =
                bm.buffer + static_cast<ptrdiff_t>(bm.pitch >= 0 ? r : rows - 1 - r) * stride;
            for (int c = 0; c < width; ++c) {
                const int64_t sx = left + c;
                if (sx < clip.left || sx >= clip.right) continue;
                bool set = false;
                switch (bm.pixel_mode) {
                    case FT_PIXEL_MODE_MONO:
                        set = (line[c >> 3] >> (7 - (c & 7))) & 1;
                        break;
                    case FT_PIXEL_MODE_GRAY:
                        set = line[c] >= 128;
                        break;
                    case FT_PIXEL_MODE_BGRA:
                        set = line[c * 4 + 3] >= 128;
                        break;
                    default:
                        break;
                }
                if (set) plot(static_cast<int>(sx), static_cast<int>(sy));
            }
        }
    }
    return static_cast<int>(std::min<int64_t>(pen, INT32_MAX));
}

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

namespace {
unsigned long fontsBuilt = 0;
}  // namespace

unsigned long FontsBuilt() {
    return fontsBuilt;
}

std::unique_ptr<Font> Font::Create(const FontRequest& request) {
    ++fontsBuilt;
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) {
        impl->library = nullptr;
        return nullptr;
    }
    int height = request.height == 0 ? kDefaultCellHeight : request.height;
    height = std::clamp(height, -kMaxFontPixels, kMaxFontPixels);
    impl->request = request;
    impl->pixels = std::abs(height);

    // The primary face: the best font for the request that opens as a scalable font.
    for (const FaceFile& file : FacesFor(request, impl->pixels)) {
        if (impl->Open(file) < 0) continue;
        impl->family = file.family;
        break;
    }
    if (impl->faces.empty()) return nullptr;
    // Cell metrics from the face's Windows ascent and descent where it has them.
    FT_Face ft = impl->faces[0].face;
    const double unitsPerEm = ft->units_per_EM > 0 ? ft->units_per_EM : 1000;
    double ascender = ft->ascender, descender = -ft->descender, averageWidth = 0;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            ascender = os2->usWinAscent;
            descender = os2->usWinDescent;
        }
        averageWidth = os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : 0;
    }
    if (ascender + descender <= 0) {
        ascender = unitsPerEm * 0.8;
        descender = unitsPerEm * 0.2;
    }
    FontMetrics& m = impl->metrics;
    int ppem;
    if (height > 0) {
        ppem = std::max(
            1, static_cast<int>(std::lround(height * unitsPerEm / (ascender + descender))));
        m.height = height;
        m.ascent =
            std::clamp(static_cast<int>(std::lround(ascender * ppem / unitsPerEm)), 0, height);
        m.descent = height - m.ascent;
    } else {
        ppem = -height;
        m.ascent = static_cast<int>(std::lround(ascender * ppem / unitsPerEm));
        m.descent = static_cast<int>(std::lround(descender * ppem / unitsPerEm));
        m.height = m.ascent + m.descent;
    }
    const double naturalAverage = averageWidth > 0 ? averageWidth * ppem / unitsPerEm : ppem / 2.0;
    double emWidth = ppem;
    if (request.width > 0) {
        const int width = std::min(request.width, kMaxFontPixels);
        emWidth =
            std::clamp(ppem * width / std::max(naturalAverage, 0.1), 1.0, 4.0 * kMaxFontPixels);
        m.averageCharWidth = width;
    } else {
        m.averageCharWidth = std::max(1, static_cast<int>(std::lround(naturalAverage)));
    }
    impl->charWidth = ToFixed(emWidth);
    impl->charHeight = ToFixed(ppem);
    if (impl->SetSize(ft) != 0) return nullptr;
    // A bold made from a regular face is widened by about a 24th of the em, whole pixels.
    impl->boldStrength = std::max<FT_Pos>(64, (ppem * 64 / 24 + 32) & ~63);

    const int tenths = ((request.escapement % 3600) + 3600) % 3600;
    impl->rotated = tenths != 0;
    if (tenths % 900 == 0) {  // exact quarter turns keep straight lines straight
        const int quarter = tenths / 900;
        impl->cosA = quarter == 0 ? 1 : quarter == 2 ? -1 : 0;
        impl->sinA = quarter == 1 ? 1 : quarter == 3 ? -1 : 0;
    } else {
        const double radians = tenths / 10.0 * std::numbers::pi / 180.0;
        impl->cosA = std::cos(radians);
        impl->sinA = std::sin(radians);
    }
    return std::unique_ptr<Font>(new Font(std::move(impl)));
}

std::unique_ptr<Font> Font::CreateDefault() {
    FontRequest request;
    request.height = kDefaultCellHeight;
    request.charSet = kShiftJisCharset;
    return Create(request);
}

const FontMetrics& Font::Metrics() const {
    return impl_->metrics;
}
const std::string& Font::FamilyName() const {
    return impl_->family;
}

TextExtent Font::Measure(std::string_view cp932) const {
    int64_t width = 0;
    for (char32_t cp : DecodeUtf8(Cp932ToUtf8(cp932))) {
        int advance = 0;
        impl_->Load(impl_->FaceFor(cp), cp, &advance);
        width += advance;
    }
    return TextExtent{static_cast<int>(std::min<int64_t>(width, INT32_MAX)), impl_->metrics.height};
}

int Font::Draw(int x, int y, std::string_view cp932, const ClipRect& clip,
               const std::function<void(int x, int y)>& plot) const {
    if (clip.left >= clip.right || clip.top >= clip.bottom) return Measure(cp932).width;
    return impl_->Draw(x, y, DecodeUtf8(Cp932ToUtf8(cp932)), clip, plot);
}

}  // namespace platform::text
