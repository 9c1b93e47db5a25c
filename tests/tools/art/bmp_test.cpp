// The .bmp form: what the game's loader expects to find, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>

#include "art/bmp.h"

#include "byte_order.h"
#include "art_test_util.h"

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return platform::ReadLe32(&b[at]);
}
std::uint16_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return platform::ReadLe16(&b[at]);
}

// Decodes what EncodeBmp wrote, independently of it, and compares with the picture.
void ExpectDecodesTo(const std::vector<std::uint8_t>& bytes, const art::Picture& picture) {
    const auto width = static_cast<std::uint32_t>(picture.canvas.Width());
    const auto height = static_cast<std::uint32_t>(picture.canvas.Height());
    const std::uint32_t stride = (width + 3) / 4 * 4;
    ASSERT_EQ(bytes.size(), 14 + 40 + 1024 + stride * height);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Read32(bytes, 2), bytes.size());
    EXPECT_EQ(Read32(bytes, 10), 14u + 40 + 1024);  // pixels follow the colour table
    EXPECT_EQ(Read32(bytes, 14), 40u);
    EXPECT_EQ(Read32(bytes, 18), width);
    EXPECT_EQ(Read32(bytes, 22), height);  // positive: bottom-up
    EXPECT_EQ(Read16(bytes, 26), 1);
    EXPECT_EQ(Read16(bytes, 28), 8);
    EXPECT_EQ(Read32(bytes, 30), 0u);  // uncompressed
    const std::uint32_t colours = Read32(bytes, 46);
    EXPECT_TRUE(colours == 0 || colours == 256);
    for (std::size_t i = 0; i < 256; ++i) {
        const art::Rgb& c = picture.palette[i];
        ASSERT_EQ(bytes[54 + 4 * i], c.b) << "entry " << i;
        ASSERT_EQ(bytes[54 + 4 * i + 1], c.g) << "entry " << i;
        ASSERT_EQ(bytes[54 + 4 * i + 2], c.r) << "entry " << i;
    }
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t at = 1078 + (height - 1 - y) * stride + x;
            ASSERT_EQ(bytes[at], picture.canvas.At(static_cast<int>(x), static_cast<int>(y)))
                << "pixel " << x << "," << y;
        }
}

TEST(ArtBmp, EveryPictureIsA320x240EightBitBottomUpBmp) {
    for (const art::NamedPicture& named : art_test::Pictures()) {
        SCOPED_TRACE(named.name);
        EXPECT_EQ(named.picture.canvas.Width(), 320);
        EXPECT_EQ(named.picture.canvas.Height(), 240);
        ExpectDecodesTo(art::EncodeBmp(named.picture), named.picture);
    }
}

TEST(ArtBmp, RowsArePaddedToFourBytes) {
    for (int width : {1, 2, 3, 5, 7}) {
        SCOPED_TRACE(width);
        art::Picture picture{art::Canvas(width, 3, art::kBlack)};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                picture.canvas.Set(x, y, static_cast<art::Index>(10 * y + x + 2));
        ExpectDecodesTo(art::EncodeBmp(picture), picture);
    }
}

}  // namespace
