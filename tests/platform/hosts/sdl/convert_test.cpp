// The host's pixel conversion: whole-factor scaling into a window's pixels, and the rows that
// changed between two pictures.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "sdl_convert.h"

using sdl::ChangedRows;
using sdl::RowSpan;
using sdl::ScaleRows;

namespace {

constexpr int kWidth = 7, kHeight = 5;
constexpr std::uint32_t kUntouched = 0xDEADBEEF;

std::uint8_t Index(int x, int y) {
    return static_cast<std::uint8_t>(x * 31 + y * 7);
}

struct ScaleCase {
    int factor, first, end;
};

class ScaleRowsTest : public ::testing::TestWithParam<ScaleCase> {};

// The output has a margin on every side and rows padded beyond the picture, so writes outside
// the rows asked for, or past the picture's right edge, show up.
TEST_P(ScaleRowsTest, EachPixelBecomesASquareAndNothingElseIsWritten) {
    const ScaleCase& c = GetParam();
    std::vector<std::uint8_t> picture(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) picture[y * kWidth + x] = Index(x, y);
    std::uint32_t lookup[256];
    for (int i = 0; i < 256; ++i) lookup[i] = 0x01000000u * static_cast<std::uint32_t>(i) + 0x10203;

    constexpr int kMargin = 3;
    const int outWidth = kWidth * c.factor + 2 * kMargin + 5;
    const int outHeight = kHeight * c.factor + 2 * kMargin;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(outWidth * outHeight), kUntouched);
    auto* origin = reinterpret_cast<std::uint8_t*>(out.data() + kMargin * outWidth + kMargin);
    ScaleRows(picture.data(), kWidth, kWidth, c.first, c.end, lookup, c.factor, origin,
              outWidth * 4);

    for (int oy = 0; oy < outHeight; ++oy) {
        for (int ox = 0; ox < outWidth; ++ox) {
            const int x = ox - kMargin, y = oy - kMargin;
            const bool inPicture =
                x >= 0 && y >= 0 && x < kWidth * c.factor && y < kHeight * c.factor;
            const int row = inPicture ? y / c.factor : -1;
            const bool written = inPicture && row >= c.first && row < c.end;
            const std::uint32_t expected = written ? lookup[Index(x / c.factor, row)] : kUntouched;
            ASSERT_EQ(out[static_cast<std::size_t>(oy * outWidth + ox)], expected)
                << "output " << ox << "," << oy;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Factors, ScaleRowsTest,
                         ::testing::Values(ScaleCase{1, 0, kHeight}, ScaleCase{2, 1, 3},
                                           ScaleCase{3, 0, kHeight}, ScaleCase{4, 4, 5},
                                           ScaleCase{5, 2, 4}, ScaleCase{3, 2, 2}),
                         [](const auto& info) {
                             const ScaleCase& c = info.param;
                             return "Factor" + std::to_string(c.factor) + "Rows" +
                                    std::to_string(c.first) + "To" + std::to_string(c.end);
                         });

struct ChangeCase {
    const char* name;
    std::vector<int> changedRows;
    std::vector<RowSpan> spans;
};

class ChangedRowsTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangedRowsTest, NeighbouringChangedRowsFormOneSpan) {
    const ChangeCase& c = GetParam();
    constexpr int kRows = 10, kColumns = 6;
    std::vector<std::uint8_t> before(kRows * kColumns, 4), after = before;
    // A change in the last byte of a row is as much a change as one in the first.
    for (int row : c.changedRows)
        after[static_cast<std::size_t>(row * kColumns + row % kColumns)] = 9;
    EXPECT_EQ(ChangedRows(before.data(), after.data(), kColumns, kRows), c.spans);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ChangedRowsTest,
    ::testing::Values(ChangeCase{"Same", {}, {}}, ChangeCase{"FirstRow", {0}, {{0, 1}}},
                      ChangeCase{"LastRowsLastByte", {5, 9}, {{5, 6}, {9, 10}}},
                      ChangeCase{"TwoBands", {0, 1, 2, 6, 7}, {{0, 3}, {6, 8}}},
                      ChangeCase{"Everything", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {{0, 10}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
