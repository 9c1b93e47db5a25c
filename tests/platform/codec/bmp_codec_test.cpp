// The .bmp decoder against files built here byte by byte, and the capture writer.
#include "bmp_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace platform {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

struct BmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 8;
    uint32_t compression = kRgb;
    uint32_t coloursUsed = 0;
    std::vector<Rgb> colours{};
    std::array<uint32_t, 3> masks{};  // written for BI_BITFIELDS
    size_t gap = 0;                   // bytes between the colour table and the pixels
    std::vector<uint8_t> pixels{};
};

void Put(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> Build(const BmpSpec& s) {
    std::vector<uint8_t> info;
    if (s.headerSize == 12) {
        Put(info, 12, 4);
        Put(info, static_cast<uint32_t>(s.width), 2);
        Put(info, static_cast<uint32_t>(s.height), 2);
        Put(info, 1, 2);
        Put(info, s.bitCount, 2);
    } else {
        Put(info, s.headerSize, 4);
        Put(info, static_cast<uint32_t>(s.width), 4);
        Put(info, static_cast<uint32_t>(s.height), 4);
        Put(info, 1, 2);
        Put(info, s.bitCount, 2);
        Put(info, s.compression, 4);
        Put(info, static_cast<uint32_t>(s.pixels.size()), 4);
        Put(info, 0, 8);
        Put(info, s.coloursUsed, 4);
        Put(info, 0, 4);
        // Longer headers carry the masks; a 40-byte one is followed by them.
        if (s.compression == kBitfields || s.headerSize > 40)
            for (uint32_t m : s.masks) Put(info, m, 4);
        info.resize(std::max<size_t>(info.size(), s.headerSize), 0);
    }
    for (const Rgb& c : s.colours) {
        info.insert(info.end(), {c.b, c.g, c.r});
        if (s.headerSize != 12) info.push_back(0);
    }
    info.insert(info.end(), s.gap, 0xEE);

    std::vector<uint8_t> file{'B', 'M'};
    Put(file, static_cast<uint32_t>(14 + info.size() + s.pixels.size()), 4);
    Put(file, 0, 4);
    Put(file, static_cast<uint32_t>(14 + info.size()), 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

std::optional<DecodedBitmap> Decode(const std::vector<uint8_t>& file) {
    return DecodeBmp(file.data(), file.size());
}

// Packs top-down pixel values into rows of the file's order, each padded to 4 bytes.
std::vector<uint8_t> Pack(const std::vector<uint32_t>& px, int w, int h, int bits, bool topDown) {
    const size_t stride = ((w * bits + 31) / 32) * 4;
    std::vector<uint8_t> out(stride * h, 0);
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        uint8_t* dst = out.data() + row * stride;
        for (int x = 0; x < w; ++x) {
            const uint32_t v = px[y * w + x];
            if (bits < 8) {
                const int bit = x * bits;
                dst[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
            } else {
                for (int b = 0; b < bits / 8; ++b) dst[x * bits / 8 + b] = uint8_t(v >> (8 * b));
            }
        }
    }
    return out;
}

std::vector<Rgb> Ramp(int n) {
    std::vector<Rgb> c;
    for (int i = 0; i < n; ++i) c.push_back(Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    return c;
}

TEST(BmpDecode, IndexedDepthsHeadersAndRowOrder) {
    const int w = 13, h = 3;  // odd width: every depth needs row padding
    for (int bits : {1, 4, 8})
        for (uint32_t header : {12u, 40u, 124u})
            for (bool topDown : {false, true}) {
                if (header == 12 && topDown) continue;  // the old header has no sign
                SCOPED_TRACE(std::to_string(bits) + " bits, header " + std::to_string(header) +
                             (topDown ? " top-down" : " bottom-up"));
                std::vector<uint32_t> px(w * h);
                for (int i = 0; i < w * h; ++i) px[i] = (i * 5 + i / w) % (1u << bits);
                BmpSpec s{.headerSize = header,
                          .width = w,
                          .height = topDown ? -h : h,
                          .bitCount = uint16_t(bits),
                          .colours = Ramp(1 << bits)};
                s.pixels = Pack(px, w, h, bits, topDown);
                auto bmp = Decode(Build(s));
                ASSERT_TRUE(bmp);
                EXPECT_EQ(bmp->width, w);
                EXPECT_EQ(bmp->height, h);
                EXPECT_TRUE(bmp->indexed);
                EXPECT_EQ(bmp->topDown, topDown);
                EXPECT_EQ(bmp->colours, Ramp(1 << bits));
                EXPECT_EQ(std::vector<uint32_t>(bmp->indices.begin(), bmp->indices.end()), px);
            }
}

TEST(BmpDecode, DirectColourDepths) {
    // Colours that 5- and 6-bit channels hold exactly.
    const std::vector<uint32_t> colours{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFF00FF};
    auto to565 = [](uint32_t c) {
        return ((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 | ((c >> 3) & 0x1F);
    };
    auto to555 = [](uint32_t c) {
        return ((c >> 19) & 0x1F) << 10 | ((c >> 11) & 0x1F) << 5 | ((c >> 3) & 0x1F);
    };
    struct Case {
        const char* name;
        uint32_t header;
        uint16_t bits;
        uint32_t compression;
        std::array<uint32_t, 3> masks;
        uint32_t (*encode)(uint32_t);
    };
    const Case cases[] = {
        {"24 core", 12, 24, kRgb, {}, [](uint32_t c) { return c; }},
        {"24", 40, 24, kRgb, {}, [](uint32_t c) { return c; }},
        {"32", 40, 32, kRgb, {}, [](uint32_t c) { return c | 0xAB000000u; }},
        {"32 bitfields BGR order",
         108,
         32,
         kBitfields,
         {0xFF, 0xFF00, 0xFF0000},
         [](uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | c >> 16; }},
        {"16 default 555", 40, 16, kRgb, {}, nullptr},
        {"16 bitfields 565 after header", 40, 16, kBitfields, {0xF800, 0x07E0, 0x001F}, nullptr},
        {"16 bitfields 565 in v5 header", 124, 16, kBitfields, {0xF800, 0x07E0, 0x001F}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 3, h = 2;
        for (bool topDown : {false, true}) {
            if (c.header == 12 && topDown) continue;
            std::vector<uint32_t> raw;
            for (uint32_t col : colours) {
                if (c.bits == 16) {
                    raw.push_back(c.compression == kBitfields ? to565(col) : to555(col));
                } else {
                    raw.push_back(c.encode(col));
                }
            }
            BmpSpec s{.headerSize = c.header,
                      .width = w,
                      .height = topDown ? -h : h,
                      .bitCount = c.bits,
                      .compression = c.compression,
                      .masks = c.masks};
            s.pixels = Pack(raw, w, h, c.bits, topDown);
            auto bmp = Decode(Build(s));
            ASSERT_TRUE(bmp);
            EXPECT_FALSE(bmp->indexed);
            EXPECT_EQ(bmp->rgb, colours);
            EXPECT_EQ(bmp->PixelRgb(2, 1), colours[5]);
        }
    }
}

TEST(BmpDecode, ColourCountAndPixelOffset) {
    // Three colours used, pixels placed behind a gap that only the offset field explains.
    BmpSpec s{.width = 4,
              .height = 1,
              .coloursUsed = 3,
              .colours = Ramp(3),
              .gap = 10,
              .pixels = {0, 2, 1, 200}};
    auto bmp = Decode(Build(s));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->colours.size(), 3u);
    EXPECT_EQ(bmp->indices, (std::vector<uint8_t>{0, 2, 1, 200}));
    EXPECT_EQ(bmp->ColourAt(2), Ramp(3)[2]);
    EXPECT_EQ(bmp->ColourAt(200), Rgb{});  // past the table: black
    EXPECT_EQ(bmp->PixelRgb(3, 0), 0u);

    // A colours-used count beyond the depth is held to 2^bits.
    BmpSpec four{.width = 2,
                 .height = 1,
                 .bitCount = 4,
                 .coloursUsed = 1000,
                 .colours = Ramp(16),
                 .pixels = {0x1F, 0, 0, 0}};
    bmp = Decode(Build(four));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->colours.size(), 16u);
    EXPECT_EQ(bmp->indices, (std::vector<uint8_t>{1, 15}));
}

struct RleCase {
    const char* name;
    uint32_t compression;
    int width, height;
    std::vector<uint8_t> data;
    std::vector<uint8_t> expected;  // top-down
};

std::optional<DecodedBitmap> DecodeRle(const RleCase& c) {
    BmpSpec s{.width = c.width,
              .height = c.height,
              .bitCount = uint16_t(c.compression == kRle8 ? 8 : 4),
              .compression = c.compression,
              .colours = Ramp(c.compression == kRle8 ? 256 : 16),
              .pixels = c.data};
    return Decode(Build(s));
}

TEST(BmpDecode, RunLengthStreams) {
    // clang-format off
    const RleCase cases[] = {
        {"rle8 runs, odd literal with padding, end of line", kRle8, 5, 2,
         {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 5, 9, 0, 1},
         {9, 9, 9, 9, 9, 7, 7, 1, 2, 3}},
        {"rle8 delta skips pixels, which stay 0", kRle8, 4, 3,
         {1, 5, 0, 2, 2, 1, 1, 6, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 6, 5, 0, 0, 0}},
        {"rle4 alternating run and literal", kRle4, 6, 1,
         {3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1},
         {1, 2, 1, 10, 11, 12}},
        {"rle8 run past the right edge is clipped", kRle8, 3, 2,
         {5, 4, 0, 0, 2, 8, 0, 1},
         {8, 8, 0, 4, 4, 4}},
        {"rle8 data ending without end of bitmap", kRle8, 3, 2,
         {3, 1, 0, 0, 1},
         {0, 0, 0, 1, 1, 1}},
        {"rle8 delta out of the picture ends decoding", kRle8, 3, 2,
         {1, 2, 0, 2, 0, 5, 3, 3},
         {0, 0, 0, 2, 0, 0}},
        {"rle8 delta past the right edge ends decoding", kRle8, 3, 2,
         {1, 2, 0, 2, 5, 0, 0, 0, 3, 4, 0, 1},
         {0, 0, 0, 2, 0, 0}},
        {"rle8 literal cut short by the end of data", kRle8, 3, 1,
         {1, 6, 0, 4, 1, 2},
         {6, 0, 0}},
        {"rle4 lines beyond the top are ignored", kRle4, 2, 1,
         {2, 0x34, 0, 0, 2, 0x56, 0, 1},
         {3, 4}},
    };
    // clang-format on
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto bmp = DecodeRle(c);
        ASSERT_TRUE(bmp);
        EXPECT_EQ(bmp->indices, c.expected);
    }
}

TEST(BmpEncode, CaptureLayoutAndRoundTrip) {
    const int w = 5, h = 3;
    std::vector<uint8_t> pixels(w * h);
    for (int i = 0; i < w * h; ++i) pixels[i] = uint8_t(i * 17);
    std::array<Rgb, 256> palette{};
    for (int i = 0; i < 256; ++i) palette[i] = Rgb{uint8_t(i), uint8_t(i ^ 0x55), uint8_t(255 - i)};

    const auto file = EncodeBmp8(w, h, pixels.data(), palette.data());
    const size_t stride = 8;
    ASSERT_EQ(file.size(), 1078 + stride * h);
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, &file[at], 4);
        return v;
    };
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(u32(2), file.size());
    EXPECT_EQ(u32(10), 1078u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(22), uint32_t(h));  // positive height: bottom-up
    EXPECT_EQ(file[54 + 4 * 7 + 2], palette[7].r);
    EXPECT_EQ(file[1078], pixels[(h - 1) * w]);  // the file starts with the bottom row

    auto bmp = Decode(file);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->indices, pixels);
    EXPECT_EQ(bmp->colours, std::vector<Rgb>(palette.begin(), palette.end()));

    for (auto [bw, bh] : {std::pair{0, 1}, {1, 0}, {-4, 4}, {kMaxBmpDimension + 1, 1}})
        EXPECT_TRUE(EncodeBmp8(bw, bh, pixels.data(), palette.data()).empty());
}

// Damaged files, one class a test, each looping over its variants.

std::vector<uint8_t> Valid8() {
    BmpSpec s{.width = 3, .height = 2, .colours = Ramp(256), .pixels = std::vector<uint8_t>(8, 1)};
    return Build(s);
}

TEST(BmpDamage, TruncatedFilesAreRefused) {
    const std::vector<uint8_t> files[] = {
        Valid8(),
        Build(BmpSpec{.width = 9,
                      .height = -3,
                      .bitCount = 1,
                      .colours = Ramp(2),
                      .pixels = std::vector<uint8_t>(12, 0xAA)}),
        Build(BmpSpec{.headerSize = 108,
                      .width = 2,
                      .height = 2,
                      .bitCount = 32,
                      .compression = kBitfields,
                      .masks = {0xFF0000, 0xFF00, 0xFF},
                      .pixels = std::vector<uint8_t>(16, 0x80)}),
    };
    for (const auto& file : files) {
        ASSERT_TRUE(Decode(file));
        // The last row's padding may be missing; anything shorter is refused.
        const auto bmp = Decode(file);
        const size_t rowBytes = (bmp->width * bmp->bitCount + 7) / 8;
        const size_t stride = (rowBytes + 3) / 4 * 4;
        const size_t lenient = file.size() - (stride - rowBytes);
        for (size_t n = 0; n < lenient; ++n) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + n);
            EXPECT_FALSE(Decode(cut)) << "length " << n;
        }
        std::vector<uint8_t> cut(file.begin(), file.begin() + lenient);
        EXPECT_TRUE(Decode(cut));
    }
    EXPECT_FALSE(DecodeBmp(nullptr, 100));
}

TEST(BmpDamage, BadHeaderFieldsAreRefused) {
    struct Patch {
        const char* name;
        size_t at;
        uint32_t value;
        int bytes;
    };
    const Patch patches[] = {
        {"magic", 0, 'B' | 'X' << 8, 2},
        {"header size 64", 14, 64, 4},
        {"header size 0", 14, 0, 4},
        {"header size huge", 14, 0xFFFFFFF0u, 4},
        {"zero width", 18, 0, 4},
        {"negative width", 18, uint32_t(-3), 4},
        {"zero height", 22, 0, 4},
        {"most negative height", 22, 0x80000000u, 4},
        {"width beyond the limit", 18, kMaxBmpDimension + 1, 4},
        {"bit count 2", 28, 2, 2},
        {"bit count 0", 28, 0, 2},
        {"bit count 64", 28, 64, 2},
        {"rle4 on 8 bits", 30, kRle4, 4},
        {"bitfields on 8 bits", 30, kBitfields, 4},
        {"jpeg", 30, 4, 4},
        {"png", 30, 5, 4},
        {"pixel offset past the end", 10, 100000, 4},
    };
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.name);
        auto file = Valid8();
        for (int i = 0; i < p.bytes; ++i) file[p.at + i] = uint8_t(p.value >> (8 * i));
        EXPECT_FALSE(Decode(file));
    }
    // Sizes the data could never hold, including ones whose product would overflow 32 bits.
    for (auto [w, h] :
         {std::pair{16384, 16384}, {16384, -16384}, {65535, 65535}, {3, 30000}, {8192, 8192}}) {
        auto file = Valid8();
        for (int i = 0; i < 4; ++i) {
            file[18 + i] = uint8_t(uint32_t(w) >> (8 * i));
            file[22 + i] = uint8_t(uint32_t(h) >> (8 * i));
        }
        EXPECT_FALSE(Decode(file)) << w << "x" << h;
    }
    // RLE is bottom-up only.
    RleCase topDown{"", kRle8, 2, -1, {2, 1, 0, 1}, {}};
    EXPECT_FALSE(DecodeRle(topDown));
}

TEST(BmpDamage, ColourTableOrMasksCutShortAreRefused) {
    for (uint32_t header : {12u, 40u}) {
        BmpSpec s{.headerSize = header, .width = 1, .height = 1, .colours = Ramp(256)};
        auto file = Build(s);
        const size_t tableEnd = 14 + header + 256 * (header == 12 ? 3 : 4);
        ASSERT_EQ(file.size(), tableEnd);
        file.push_back(0);
        EXPECT_TRUE(Decode(file));
        file.resize(tableEnd - 1);
        EXPECT_FALSE(Decode(file)) << header;
    }
    BmpSpec masked{.width = 1,
                   .height = 1,
                   .bitCount = 32,
                   .compression = kBitfields,
                   .masks = {0xFF, 0xFF00, 0xFF0000},
                   .pixels = {1, 2, 3, 4}};
    auto file = Build(masked);
    file.resize(14 + 40 + 8);
    EXPECT_FALSE(Decode(file));
}

}  // namespace
}  // namespace platform
