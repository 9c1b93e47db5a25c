// Windows .bmp decoding and 8-bit encoding. Every read is bounds-checked against the buffer;
// sizes are checked before anything is allocated, so a hostile file costs at most
// kMaxBmpPixels pixels of memory.
#include "bmp_codec.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"

namespace platform {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

uint16_t U16(const uint8_t* p) {
    return ReadLe16(p);
}
uint32_t U32(const uint8_t* p) {
    return ReadLe32(p);
}
int32_t S32(const uint8_t* p) {
    return ReadLe32Signed(p);
}

bool KnownHeaderSize(uint32_t size) {
    return size == kCoreHeaderSize || size == kInfoHeaderSize || size == 52 || size == 56 ||
           size == 108 || size == 124;
}

// One colour mask of a 16- or 32-bit picture, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // the channel's largest value once shifted down

    explicit Channel(uint32_t m) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        max = mask >> shift;
    }
    uint32_t Extract(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint32_t>((value * 255 + max / 2) / max);
    }
};

struct Masks {
    Channel red, green, blue;
    uint32_t ToRgb(uint32_t pixel) const {
        return (red.Extract(pixel) << 16) | (green.Extract(pixel) << 8) | blue.Extract(pixel);
    }
};

// A byte range of the file with checked reads.
struct Span {
    const uint8_t* data;
    size_t size;
};

bool DecodeUncompressed(Span pixels, uint32_t compression, const Masks& masks, DecodedBitmap& out) {
    const int64_t w = out.width;
    const int64_t h = out.height;
    const int bits = out.bitCount;
    const int64_t rowBytes = (w * bits + 7) / 8;
    const int64_t stride = ((w * bits + 31) / 32) * 4;
    // The last row may come without its padding; everything else must be there.
    if (static_cast<uint64_t>(stride * (h - 1) + rowBytes) > pixels.size) return false;

    for (int64_t fileRow = 0; fileRow < h; ++fileRow) {
        const uint8_t* src = pixels.data + fileRow * stride;
        const int64_t y = out.topDown ? fileRow : h - 1 - fileRow;
        if (out.indexed) {
            uint8_t* dst = out.indices.data() + y * w;
            for (int64_t x = 0; x < w; ++x) {
                switch (bits) {
                    case 1:
                        dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
                        break;
                    case 4:
                        dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
                        break;
                    default:
                        dst[x] = src[x];
                        break;
                }
            }
            continue;
        }
        uint32_t* dst = out.rgb.data() + y * w;
        for (int64_t x = 0; x < w; ++x) {
            switch (bits) {
                case 16:
                    dst[x] = masks.ToRgb(U16(src + 2 * x));
                    break;
                case 24: {
                    const uint8_t* p = src + 3 * x;
                    dst[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
                    break;
                }
                default: {
                    const uint8_t* p = src + 4 * x;
                    dst[x] = compression == kBiBitfields
                                 ? masks.ToRgb(U32(p))
                                 : (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
                    break;
                }
            }
        }
    }
    return true;
}

// RLE8 and RLE4, always bottom-up. Decoding stops at the end-of-bitmap code, at the end of the
// data, or at the first code that would move outside the picture; what was not reached stays 0.
void DecodeRle(Span pixels, bool rle4, DecodedBitmap& out) {
    const int w = out.width;
    const int h = out.height;
    int x = 0;
    int row = 0;  // counted from the bottom, as the file counts
    size_t p = 0;
    const size_t n = pixels.size;
    const uint8_t* d = pixels.data;

    // Pixels past the right edge are dropped; x is held at the edge so it cannot run away.
    auto put = [&](uint8_t index) {
        if (x < w) out.indices[static_cast<size_t>(h - 1 - row) * w + x] = index;
        x = std::min(x + 1, w);
    };

    while (p + 2 <= n) {
        const uint8_t count = d[p];
        const uint8_t value = d[p + 1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) {
                put(rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            if (++row >= h) return;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (p + 2 > n) return;
            x += d[p];
            row += d[p + 1];
            p += 2;
            if (x > w || row >= h) return;
        } else {  // a literal run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = rle4 ? (value + 1u) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (p + bytes > n) return;
            for (int i = 0; i < value; ++i) {
                put(rle4 ? ((i & 1) ? (d[p + i / 2] & 0x0F) : (d[p + i / 2] >> 4)) : d[p + i]);
            }
            p += std::min(padded, n - p);
        }
    }
}

}  // namespace

uint32_t DecodedBitmap::PixelRgb(int x, int y) const {
    const size_t at = static_cast<size_t>(y) * width + x;
    if (!indexed) return rgb[at];
    const Rgb c = ColourAt(indices[at]);
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

std::optional<DecodedBitmap> DecodeBmp(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kFileHeaderSize + 4) return std::nullopt;
    if (data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const uint32_t offBits = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    if (!KnownHeaderSize(headerSize) || size < kFileHeaderSize + headerSize) return std::nullopt;

    const uint8_t* h = data + kFileHeaderSize;
    const bool core = headerSize == kCoreHeaderSize;
    int64_t width, height;
    int bitCount;
    uint32_t compression = kBiRgb, coloursUsed = 0;
    if (core) {
        width = U16(h + 4);
        height = U16(h + 6);
        bitCount = U16(h + 10);
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) {
            return std::nullopt;
        }
    } else {
        width = S32(h + 4);
        height = S32(h + 8);
        bitCount = U16(h + 14);
        compression = U32(h + 16);
        coloursUsed = U32(h + 32);
    }

    DecodedBitmap out;
    out.topDown = height < 0;
    height = height < 0 ? -height : height;  // int64, so INT32_MIN is safe
    if (width <= 0 || height <= 0 || width > kMaxBmpDimension || height > kMaxBmpDimension ||
        width * height > kMaxBmpPixels) {
        return std::nullopt;
    }
    switch (bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return std::nullopt;
    }
    const bool fits = compression == kBiRgb || (compression == kBiRle8 && bitCount == 8) ||
                      (compression == kBiRle4 && bitCount == 4) ||
                      (compression == kBiBitfields && (bitCount == 16 || bitCount == 32));
    if (!fits) return std::nullopt;
    const bool rle = compression == kBiRle8 || compression == kBiRle4;
    if (rle && out.topDown) return std::nullopt;

    size_t pos = kFileHeaderSize + headerSize;
    Masks masks{Channel(0x7C00), Channel(0x03E0), Channel(0x001F)};
    if (compression == kBiBitfields) {
        const uint8_t* m = h + kInfoHeaderSize;  // longer headers carry the masks themselves
        if (headerSize == kInfoHeaderSize) {
            if (size < pos + 12) return std::nullopt;
            m = data + pos;
            pos += 12;
        }
        masks = Masks{Channel(U32(m)), Channel(U32(m + 4)), Channel(U32(m + 8))};
    }

    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bitCount = bitCount;
    out.indexed = bitCount <= 8;
    if (out.indexed) {
        const uint32_t full = 1u << bitCount;
        const uint32_t count = coloursUsed == 0 ? full : std::min(coloursUsed, full);
        const size_t entry = core ? 3 : 4;
        if (size - pos < count * entry) return std::nullopt;
        out.colours.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* q = data + pos + i * entry;
            out.colours[i] = Rgb{q[2], q[1], q[0]};
        }
        pos += count * entry;
    }

    // An offset into the headers (0 from careless writers) means "right behind them".
    const size_t start = std::max<size_t>(offBits, pos);
    if (start > size) return std::nullopt;
    const Span pixels{data + start, size - start};

    const size_t count = static_cast<size_t>(width * height);
    if (out.indexed) {
        out.indices.assign(count, 0);
    } else {
        out.rgb.assign(count, 0);
    }
    if (rle) {
        DecodeRle(pixels, compression == kBiRle4, out);
        return out;
    }
    if (!DecodeUncompressed(pixels, compression, masks, out)) return std::nullopt;
    return out;
}

}  // namespace platform
