// The game's picture loading: an archive entry through "tmp.bmp" into a slot, its colour table
// as the palette in both display modes, the colour key that follows, and MatchSurfaceColor.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bitmap_loader.h"
#include "rka_pack.h"
#include "bmp_writer.h"
#include "display.h"
#include "faults.h"
#include "display_support.h"
#include "process.h"
#include "trace_support.h"
#include "trace.h"

using namespace testing_support;

namespace {

// 256 different colours; red alone tells them apart.
std::uint32_t Colour(int k) {
    return static_cast<std::uint32_t>(k << 16 | (255 - k) << 8 | ((k * 7) & 255));
}
COLORREF ColourRef(int k) {
    return RGB(k, 255 - k, (k * 7) & 255);
}

// A 16 × 16 picture whose pixel (x, y) is table index y * 16 + x.
test_bmp::Picture AllIndices() {
    test_bmp::Picture p{16, 16, 8, {}, -1, {}, {}};
    for (int k = 0; k < 256; ++k) {
        p.colours.push_back(Colour(k));
        p.pixels.push_back(static_cast<std::uint32_t>(k));
    }
    return p;
}

bool Exists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

// Runs in a fresh working folder holding "pictures.rka" with the given entries.
void MakeArchive(const std::vector<rka::Member>& members) {
    const std::string folder = FreshFolder("pictures");
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    rka::Written archive = rka::WriteArchive(members);
    ASSERT_EQ(archive.error, "");
    test_bmp::WriteFile("pictures.rka", archive.bytes);
}

void FillSlot(int slot, unsigned char value) {
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) SurfaceMemory[slot][y * SurfacePitch[slot] + x] = value;
}

// The source colour key of a slot, or -1 when it has none.
long KeyOf(int slot) {
    DDCOLORKEY key{};
    if (SurfaceTable[slot]->GetColorKey(DDCKEY_SRCBLT, &key) != DD_OK) return -1;
    EXPECT_EQ(key.dwColorSpaceLowValue, key.dwColorSpaceHighValue);
    return static_cast<long>(key.dwColorSpaceLowValue);
}

}  // namespace

TEST(PictureLoading, FullScreenLoadBringsPaletteKeyAndPixelsAndRemovesTheFile) {
    OpenDisplay(1);
    MakeArchive({{"pic.bmp", test_bmp::Encode(AllIndices())}});
    FillSlot(2, 0);
    display.LoadArchiveBitmap("pictures.rka", "pic.bmp", 320, 240, 5, 6, 0, 0, 1, 2);

    EXPECT_FALSE(Exists("tmp.bmp"));
    EXPECT_TRUE(Traced("SetEntries 0 256"));
    PALETTEENTRY sent[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, sent), DD_OK);
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(RGB(sent[k].peRed, sent[k].peGreen, sent[k].peBlue), ColourRef(k)) << k;
        EXPECT_EQ(MasterPalette[k].peFlags, PC_RESERVED) << k;
        EXPECT_EQ(RGB(WorkingPalette[k].peRed, WorkingPalette[k].peGreen, WorkingPalette[k].peBlue),
                  ColourRef(k))
            << k;
    }
    // Colour k of the picture is palette entry k; the picture stops at its own edge.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(SlotPixel(2, 5 + x, 6 + y), y * 16 + x);
    EXPECT_EQ(SlotPixel(2, 4, 6), 0);
    EXPECT_EQ(SlotPixel(2, 21, 6), 0);
    EXPECT_EQ(SlotPixel(2, 5, 22), 0);

    // Entry 1's colour keys slots 1 to 9; the primary surface keeps none.
    EXPECT_EQ(KeyOf(0), -1);
    for (int slot = 1; slot < kSurfaceSlots; ++slot) EXPECT_EQ(KeyOf(slot), 1) << slot;

    // A keyed copy leaves out exactly the pixels of entry 1's colour (picture index 1 at (6, 6)).
    FillSlot(1, 77);
    display.Blit(0, 0, 5, 6, 16, 16, 1, 2, 0x11);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int index = y * 16 + x;
            EXPECT_EQ(SlotPixel(1, x, y), index == 1 ? 77 : index) << x << "," << y;
        }
    }
}

TEST(PictureLoading, WindowedLoadSendsColoursZeroTo235ToEntriesTenTo245) {
    OpenDisplay(0);
    MakeArchive({{"pic.bmp", test_bmp::Encode(AllIndices())}});
    PALETTEENTRY before[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, before), DD_OK);
    FillSlot(2, 0);
    display.LoadArchiveBitmap("pictures.rka", "pic.bmp", 16, 16, 0, 0, 0, 0, 1, 2);

    EXPECT_TRUE(Traced("SetEntries 10 236"));
    PALETTEENTRY sent[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, sent), DD_OK);
    for (int e = 0; e < 256; ++e) {
        const PALETTEENTRY& want = e >= 10 && e < 246 ? MasterPalette[e - 10] : before[e];
        EXPECT_EQ(RGB(sent[e].peRed, sent[e].peGreen, sent[e].peBlue),
                  RGB(want.peRed, want.peGreen, want.peBlue))
            << e;
        if (e >= 10 && e < 246) {
            EXPECT_EQ(RGB(sent[e].peRed, sent[e].peGreen, sent[e].peBlue), ColourRef(e - 10)) << e;
        }
    }
    // Colours 236-255 were loaded but not sent.
    EXPECT_EQ(RGB(MasterPalette[255].peRed, MasterPalette[255].peGreen, MasterPalette[255].peBlue),
              ColourRef(255));
    // Picture colour k shows as entry 10 + k; entry 1's colour (entry 11) keys every slot.
    for (int k = 0; k < 236; ++k) ASSERT_EQ(SlotPixel(2, k % 16, k / 16), 10 + k) << k;
    for (int slot = 0; slot < kSurfaceSlots; ++slot) EXPECT_EQ(KeyOf(slot), 11) << slot;
}

TEST(PictureLoading, AShortColourTableGivesTheFollowingBytesAndThenFF) {
    OpenDisplay(1);
    // A 4-bit 2 × 2 picture: 16 colours, 10 bytes of gap, two rows of 4 bytes. The file ends two
    // bytes into palette entry 20.
    test_bmp::Picture p{2, 2, 4, {}, -1, {0, 1, 2, 3}, {}};
    for (int k = 0; k < 16; ++k) p.colours.push_back(Colour(k * 16));
    p.gap = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    const std::vector<std::uint8_t> bytes = test_bmp::Encode(p);
    ASSERT_EQ(bytes.size(), 54u + 4 * 20 + 2);
    MakeArchive({{"short.bmp", bytes}});
    display.LoadArchiveBitmap("pictures.rka", "short.bmp", 2, 2, 0, 0, 0, 0, 1, 2);

    auto entry = [](int k) {
        return RGB(MasterPalette[k].peRed, MasterPalette[k].peGreen, MasterPalette[k].peBlue);
    };
    for (int k = 0; k < 16; ++k) EXPECT_EQ(entry(k), ColourRef(k * 16)) << k;
    EXPECT_EQ(entry(16), RGB(0x33, 0x22, 0x11));
    EXPECT_EQ(entry(17), RGB(0x77, 0x66, 0x55));
    // The gap's last two bytes, then the bottom row's first byte (pixels 2 and 3).
    EXPECT_EQ(entry(18), RGB(0x23, 0xAA, 0x99));
    // The last row's padding, then the end of the file.
    EXPECT_EQ(entry(20), RGB(0xFF, 0x00, 0x00));
    for (int k = 21; k < 256; ++k) {
        EXPECT_EQ(entry(k), RGB(0xFF, 0xFF, 0xFF)) << k;
        EXPECT_EQ(MasterPalette[k].peFlags, PC_RESERVED) << k;
    }
    EXPECT_FALSE(Exists("tmp.bmp"));
}

TEST(PictureLoading, WithoutThePaletteFlagPaletteAndKeysStayAsTheyWere) {
    OpenDisplay(1);
    MakeArchive({{"a.bmp", test_bmp::Encode(AllIndices())}});
    display.LoadArchiveBitmap("pictures.rka", "a.bmp", 16, 16, 0, 0, 0, 0, 1, 2);
    platform::ClearTrace();
    display.LoadArchiveBitmap("pictures.rka", "a.bmp", 16, 16, 0, 0, 0, 0, 0, 3);
    EXPECT_EQ(TraceCount("SetEntries"), 0);
    EXPECT_EQ(TraceCount("SetColorKey"), 0);
    EXPECT_EQ(SlotPixel(3, 3, 2), 35);
    EXPECT_FALSE(Exists("tmp.bmp"));
}

TEST(PictureLoading, ASlotWhoseDeviceContextFailsIsLeftAlone) {
    OpenDisplay(1);
    MakeArchive({{"a.bmp", test_bmp::Encode(AllIndices())}});
    FillSlot(2, 9);
    platform::SetFailingCalls("GetDC");
    display.LoadArchiveBitmap("pictures.rka", "a.bmp", 16, 16, 0, 0, 0, 0, 0, 2);
    EXPECT_EQ(SlotPixel(2, 3, 2), 9);
    EXPECT_FALSE(Exists("tmp.bmp"));
}

// Pictures GDI cannot read end the program with the file-not-found message, and "tmp.bmp" goes
// with it.
TEST(PictureLoadingDeath, AnEntryGdiCannotReadEndsWithTheFileNotFoundMessage) {
    std::vector<std::uint8_t> headerOnly = test_bmp::Encode(AllIndices());
    headerOnly.resize(60);
    const std::vector<std::vector<std::uint8_t>> pictures = {
        {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'},
        headerOnly,
        std::vector<std::uint8_t>(8 << 20, 0),  // a few bytes in the archive
    };
    OpenDisplay(1);
    for (const auto& bytes : pictures) {
        SCOPED_TRACE(bytes.size());
        MakeArchive({{"junk.bmp", bytes}});
        EXPECT_EXIT(
            display.LoadArchiveBitmap("pictures.rka", "junk.bmp", 320, 240, 0, 0, 0, 0, 1, 2),
            ::testing::ExitedWithCode(1),
            // The message box's text reaches standard error as UTF-8.
            "tmp\\.bmp ファイルが見つかりません");
        EXPECT_FALSE(Exists("tmp.bmp"));
    }
}

// A disk that fills while "tmp.bmp" is written ends the program, and the part written goes too.
TEST(PictureLoadingDeath, APartlyWrittenTemporaryFileIsRemovedAtTheEnd) {
    OpenDisplay(1);
    // Runs of zeros pack small: the archive is written whole under the limit below.
    MakeArchive({{"big.bmp", std::vector<std::uint8_t>(1 << 20, 0)}});
    EXPECT_EXIT(
        {
            // A file may grow to 64 KiB here; a write beyond fails as on a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 65536;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(9);
            display.LoadArchiveBitmap("pictures.rka", "big.bmp", 320, 240, 0, 0, 0, 0, 1, 2);
        },
        ::testing::ExitedWithCode(1), "File can't write\\[tmp\\.bmp\\]");
    EXPECT_FALSE(Exists("tmp.bmp"));
}

struct MatchCase {
    const char* name;
    const char* failing;
    COLORREF colour;
    DWORD result;
};

class MatchColour : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchColour, FindsThePixelValueAndRestoresTheTopLeftPixel) {
    const MatchCase c = GetParam();
    OpenDisplay(1);
    MakeArchive({{"pic.bmp", test_bmp::Encode(AllIndices())}});
    display.LoadArchiveBitmap("pictures.rka", "pic.bmp", 16, 16, 0, 0, 0, 0, 1, 2);
    SurfaceMemory[3][0] = 77;
    SurfaceMemory[3][1] = 78;
    platform::SetFailingCalls(c.failing);
    EXPECT_EQ(MatchSurfaceColor(SurfaceTable[3], c.colour), c.result);
    platform::SetFailingCalls("");
    EXPECT_EQ(SurfaceMemory[3][0], 77);
    EXPECT_EQ(SurfaceMemory[3][1], 78);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchColour,
    ::testing::Values(MatchCase{"ExactColour", "", ColourRef(150), 150},
                      // Between entries: the nearest one.
                      MatchCase{"NearColour", "", RGB(150, 105, 27), 150},
                      // CLR_INVALID draws nothing and reads what is there.
                      MatchCase{"InvalidColour", "", CLR_INVALID, 77},
                      // Without a device context nothing is drawn either.
                      MatchCase{"NoDeviceContext", "GetDC", ColourRef(150), 77},
                      // A surface that cannot be locked gives no value.
                      MatchCase{"NoLock", "Lock", ColourRef(150), 0xFFFFFFFF}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

TEST(SurfaceColorKey, SetsTheMatchedValueAsTheSourceKey) {
    OpenDisplay(1);
    MakeArchive({{"pic.bmp", test_bmp::Encode(AllIndices())}});
    display.LoadArchiveBitmap("pictures.rka", "pic.bmp", 16, 16, 0, 0, 0, 0, 1, 2);
    EXPECT_EQ(SetSurfaceColorKey(SurfaceTable[4], ColourRef(42)), DD_OK);
    EXPECT_EQ(KeyOf(4), 42);
    EXPECT_NE(SetSurfaceColorKey(nullptr, ColourRef(42)), DD_OK);
}
