// The logo on the headless host, frame by frame from the captures: 29 mosaic frames from block
// 30 down to 2, the sharp picture, a two-second hold and 28 frames from block 2 up to 29, each
// exactly the mosaic of "logo.bmp".
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pictures.h"
#include "process.h"

using namespace e2e;

namespace {

struct Flip {
    std::string name;
    int at;
};

std::vector<Flip> Flips(const std::string& folder) {
    std::vector<Flip> flips;
    std::istringstream in(ReadFile(folder + "/cap/frames.tsv"));
    std::string name, cause;
    int at;
    while (in >> name >> at >> cause) {
        if (cause == "flip") flips.push_back({name, at});
    }
    return flips;
}

testing_support::RunResult Start(const std::string& folder, const std::string& script) {
    std::ofstream(folder + "/script.txt") << script;
    return testing_support::Run(
        "cd '" + folder + "' && TAVLO_VIDEO=headless TAVLO_INPUT=script.txt TAVLO_CAPTURE=cap",
        TAVLO_BINARY);
}

// Pixels of `shown` that differ from the mosaic of `picture` with this block size.
int MosaicMismatches(const Image& shown, const Image& picture, int block) {
    if (shown.width != 320 || shown.height != 240) return -1;
    int mismatches = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            mismatches += shown.At(x, y) != picture.At(x - x % block, y - y % block);
    return mismatches;
}

}  // namespace

TEST(Logo, ResolvesHoldsAndDissolvesAsMosaicsOfThePicture) {
    const std::string folder = testing_support::GameFolder("logo").path;
    auto result = Start(folder, "4300 down PAUSE\n");
    ASSERT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_EQ(result.standardError, "");

    const Image logo = ArchiveEntry("logo.bmp", folder);
    ASSERT_EQ(logo.width, 320);
    ASSERT_EQ(logo.height, 240);

    // Block sizes and times of the logo's frames; block 1 is the sharp picture.
    struct Expected {
        int block, at;
    };
    std::vector<Expected> expected;
    for (int block = 30; block >= 2; --block) expected.push_back({block, 300 + 33 * (30 - block)});
    const int sharpAt = 300 + 29 * 33;
    expected.push_back({1, sharpAt});
    for (int block = 2; block <= 29; ++block)
        expected.push_back({block, sharpAt + 2000 + 33 * (block - 2)});
    ASSERT_EQ(expected.size(), 58u);

    const std::vector<Flip> flips = Flips(folder);
    ASSERT_GE(flips.size(), 1 + expected.size() + 1);
    EXPECT_EQ(flips[0].at, 0);  // the blank screen of start-up
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Flip& flip = flips[i + 1];
        EXPECT_EQ(flip.at, expected[i].at) << "frame " << i;
        const Image shown = ReadBmp(folder + "/cap/" + flip.name + ".bmp");
        EXPECT_EQ(MosaicMismatches(shown, logo, expected[i].block), 0)
            << "frame " << i << ", block " << expected[i].block;
    }
    // The title's fade-in follows one frame later.
    EXPECT_GE(flips[expected.size() + 1].at, expected.back().at + 33);
}

TEST(Logo, MissingScoreFileEndsWithItsMessageAfterTheLogo) {
    const std::string folder = testing_support::GameFolder("noscore", nullptr).path;
    auto result = Start(folder, "");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.find("file not found"), std::string::npos)
        << result.standardError;
    const std::vector<Flip> flips = Flips(folder);
    ASSERT_EQ(flips.size(), 1u + 58u);  // start-up and the whole logo, nothing after
    EXPECT_EQ(flips.back().at, 300 + 29 * 33 + 2000 + 27 * 33);
}
