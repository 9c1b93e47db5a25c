// gdi: bitmaps loaded from .bmp files, their description, and copies of them into surfaces'
// device contexts with the colours turned into the palette indices in force.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include <windows.h>

#include "bmp_codec.h"
#include "faults.h"
#include "gdi_internal.h"

namespace {

using platform::Bitmap;
using platform::DeviceContext;

// Larger files are refused before they are read: the biggest picture the decoder accepts,
// at 32 bits a pixel, with room for its headers.
constexpr long kMaxFileBytes = (platform::kMaxBmpPixels * 4) + (1 << 20);

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    bool failed = false;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file);
        data.insert(data.end(), chunk, chunk + n);
        if (static_cast<long>(data.size()) > kMaxFileBytes) {
            failed = true;
            break;
        }
        if (n < sizeof chunk) {
            failed = std::ferror(file) != 0;  // a folder, for one, cannot be read
            break;
        }
    }
    std::fclose(file);
    if (failed) return std::nullopt;
    return data;
}

// Nearest-neighbour sampling: the source position (from 0) whose pixel covers the centre of
// destination position i when `sourceSize` pixels are spread over `destSize`.
long long SamplePosition(long long i, long long destSize, long long sourceSize) {
    return ((2 * i + 1) * sourceSize) / (2 * destSize);
}

Bitmap* MakeBitmap(const platform::DecodedBitmap& decoded, int width, int height) {
    auto* bitmap = new Bitmap;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitCount = decoded.bitCount;
    bitmap->indexed = decoded.indexed;
    for (const platform::Rgb& c : decoded.colours) {
        bitmap->colours.push_back(RGBQUAD{c.b, c.g, c.r, 0});
    }
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (decoded.indexed) {
        bitmap->indices.resize(pixels);
    } else {
        bitmap->rgb.resize(pixels);
    }
    for (int y = 0; y < height; ++y) {
        const long long sy = SamplePosition(y, height, decoded.height);
        for (int x = 0; x < width; ++x) {
            const long long sx = SamplePosition(x, width, decoded.width);
            const size_t from = static_cast<size_t>(sy * decoded.width + sx);
            const size_t to = static_cast<size_t>(y) * static_cast<size_t>(width) + x;
            if (decoded.indexed) {
                bitmap->indices[to] = decoded.indices[from];
            } else {
                bitmap->rgb[to] = decoded.rgb[from];
            }
        }
    }
    return bitmap;
}

Bitmap* BitmapOf(HANDLE handle) {
    return dynamic_cast<Bitmap*>(platform::FindObject(reinterpret_cast<HGDIOBJ>(handle)));
}

// Turns a bitmap's colours into palette indices, remembering what it has looked up: per
// colour-table entry for an indexed bitmap, the last colour for a direct-colour one (pictures
// run in stretches of one colour).
class IndexMapper {
  public:
    explicit IndexMapper(const Bitmap& bitmap) : bitmap_(bitmap) {}

    std::uint8_t At(int x, int y) {
        if (bitmap_.indexed) {
            const std::uint8_t entry = bitmap_.indices[Offset(x, y)];
            if (!known_[entry]) {
                table_[entry] = platform::NearestIndex(bitmap_.ColourAt(x, y));
                known_[entry] = true;
            }
            return table_[entry];
        }
        const COLORREF colour = bitmap_.ColourAt(x, y);
        if (!haveLast_ || colour != lastColour_) {
            lastColour_ = colour;
            lastIndex_ = platform::NearestIndex(colour);
            haveLast_ = true;
        }
        return lastIndex_;
    }

  private:
    size_t Offset(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(bitmap_.width) + x;
    }

    const Bitmap& bitmap_;
    std::uint8_t table_[256] = {};
    bool known_[256] = {};
    bool haveLast_ = false;
    COLORREF lastColour_ = 0;
    std::uint8_t lastIndex_ = 0;
};

// One axis of a stretched copy: `destSize` destination pixels from `destStart` show
// `sourceSize` source pixels from `sourceStart`; a negative size runs that side backwards
// (a mirrored copy when the two signs differ).
struct Axis {
    long long destStart, destSize, sourceStart, sourceSize;
    bool mirrored = false;

    Axis(long long ds, long long dn, long long ss, long long sn)
        : destStart(ds), destSize(dn), sourceStart(ss), sourceSize(sn) {
        if (destSize < 0) {
            destStart += destSize;
            destSize = -destSize;
            mirrored = !mirrored;
        }
        if (sourceSize < 0) {
            sourceStart += sourceSize;
            sourceSize = -sourceSize;
            mirrored = !mirrored;
        }
    }
    // The source position shown at destination position i of the copy (0 <= i < destSize).
    long long Source(long long i) const {
        const long long k = mirrored ? destSize - 1 - i : i;
        return sourceStart + SamplePosition(k, destSize, sourceSize);
    }
};

// The copy behind BitBlt and StretchBlt: only SRCCOPY, only from a memory device context that
// holds a bitmap into one over a surface. Destination pixels outside the surface, and those
// whose source pixel lies outside the bitmap, are left alone.
BOOL CopyBitmap(HDC destDC, int xDest, int yDest, int wDest, int hDest, HDC sourceDC, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop) {
    if (rop != SRCCOPY) return FALSE;
    DeviceContext* dest = platform::FindContext(destDC);
    DeviceContext* source = platform::FindContext(sourceDC);
    if (!dest || !source || !source->bitmap || !dest->target.pixels) return FALSE;
    if (wDest == 0 || hDest == 0 || wSrc == 0 || hSrc == 0) return TRUE;

    const Bitmap& bitmap = *source->bitmap;
    const platform::PixelTarget& target = dest->target;
    const Axis across(xDest, wDest, xSrc, wSrc);
    const Axis down(yDest, hDest, ySrc, hSrc);
    IndexMapper mapper(bitmap);

    // Only the destination pixels that lie on the surface are visited.
    const long long firstRow = std::max(0LL, -down.destStart);
    const long long endRow = std::min(down.destSize, target.height - down.destStart);
    const long long firstColumn = std::max(0LL, -across.destStart);
    const long long endColumn = std::min(across.destSize, target.width - across.destStart);
    for (long long i = firstRow; i < endRow; ++i) {
        const long long sy = down.Source(i);
        if (sy < 0 || sy >= bitmap.height) continue;
        std::uint8_t* row = target.pixels + (down.destStart + i) * target.pitch;
        for (long long j = firstColumn; j < endColumn; ++j) {
            const long long sx = across.Source(j);
            if (sx < 0 || sx >= bitmap.width) continue;
            row[across.destStart + j] = mapper.At(static_cast<int>(sx), static_cast<int>(sy));
        }
    }
    return TRUE;
}

}  // namespace

namespace platform {

COLORREF Bitmap::ColourAt(int x, int y) const {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width) + x;
    if (indexed) {
        const std::uint8_t entry = indices[at];
        // A pixel that points past a short colour table is black.
        if (entry >= colours.size()) return RGB(0, 0, 0);
        return RGB(colours[entry].rgbRed, colours[entry].rgbGreen, colours[entry].rgbBlue);
    }
    const std::uint32_t value = rgb[at];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

}  // namespace platform

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
    (void)instance;
    if (type != IMAGE_BITMAP || name == nullptr || cx < 0 || cy < 0) return nullptr;
    // The program carries no bitmap resources: only the file form can find anything.
    if (!(flags & LR_LOADFROMFILE)) return nullptr;
    if (platform::ShouldFail("LoadImageA")) return nullptr;

    const auto data = ReadWholeFile(name);
    if (!data) return nullptr;
    const auto decoded = platform::DecodeBmp(data->data(), data->size());
    if (!decoded) return nullptr;

    // A size of 0 keeps the picture's own width or height.
    const int width = cx ? cx : decoded->width;
    const int height = cy ? cy : decoded->height;
    if (width > platform::kMaxBmpDimension || height > platform::kMaxBmpDimension ||
        static_cast<std::int64_t>(width) * height > platform::kMaxBmpPixels) {
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(platform::RegisterObject(MakeBitmap(*decoded, width, height)));
}

int WINAPI GetObjectA(HANDLE handle, int size, LPVOID out) {
    const Bitmap* bitmap = BitmapOf(handle);
    if (!bitmap) return 0;
    if (out == nullptr) return static_cast<int>(sizeof(BITMAP));
    if (size <= 0) return 0;
    BITMAP description{};
    description.bmType = 0;
    description.bmWidth = bitmap->width;
    description.bmHeight = bitmap->height;
    // Rows of a device-independent bitmap are padded to whole 32-bit words.
    description.bmWidthBytes = static_cast<LONG>(
        ((static_cast<long long>(bitmap->width) * bitmap->bitCount + 31) / 32) * 4);
    description.bmPlanes = 1;
    description.bmBitsPixel = static_cast<WORD>(bitmap->bitCount);
    // Our bitmaps keep their pixels in a form of their own, not as the DIB rows bmBits describes.
    description.bmBits = nullptr;
    const int copied = std::min(size, static_cast<int>(sizeof description));
    std::memcpy(out, &description, static_cast<size_t>(copied));
    return copied;
}

BOOL WINAPI BitBlt(HDC destDC, int x, int y, int cx, int cy, HDC sourceDC, int x1, int y1,
                   DWORD rop) {
    return CopyBitmap(destDC, x, y, cx, cy, sourceDC, x1, y1, cx, cy, rop);
}

BOOL WINAPI StretchBlt(HDC destDC, int xDest, int yDest, int wDest, int hDest, HDC sourceDC,
                       int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) {
    return CopyBitmap(destDC, xDest, yDest, wDest, hDest, sourceDC, xSrc, ySrc, wSrc, hSrc, rop);
}
