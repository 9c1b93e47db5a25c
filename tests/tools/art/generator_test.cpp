// The generator draws the same bytes every time, in process and through its command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "art/bmp.h"
#include "art_test_util.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    const std::string bytes = testing_support::ReadFile(path.string());
    return {bytes.begin(), bytes.end()};
}

// A fresh folder under the system's temporary directory, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tavlo-art-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

int RunTool(const std::string& arguments) {
    return std::system((std::string(TAVLO_ART_TOOL) + " " + arguments + " 2>/dev/null").c_str());
}

TEST(ArtGenerator, DrawsTheSameBytesEveryTime) {
    const std::vector<art::NamedPicture> first = art::DrawAll();
    const std::vector<art::NamedPicture> second = art::DrawAll();
    ASSERT_EQ(first.size(), 4u);
    ASSERT_EQ(second.size(), 4u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE(first[i].name);
        EXPECT_EQ(first[i].name, second[i].name);
        EXPECT_EQ(art::EncodeBmp(first[i].picture), art::EncodeBmp(second[i].picture));
    }
}

TEST(ArtGenerator, ToolWritesThePicturesItDraws) {
    TempDir a, b;
    ASSERT_EQ(RunTool(a.Path().string()), 0);
    ASSERT_EQ(RunTool(b.Path().string() + " --png"), 0);
    for (const art::NamedPicture& named : art_test::Pictures()) {
        SCOPED_TRACE(named.name);
        const std::vector<std::uint8_t> bytes = art::EncodeBmp(named.picture);
        EXPECT_EQ(ReadBytes(a.Path() / named.name), bytes);
        EXPECT_EQ(ReadBytes(b.Path() / named.name), bytes);
        const std::vector<std::uint8_t> png =
            ReadBytes(b.Path() / (named.name.substr(0, named.name.size() - 4) + ".png"));
        ASSERT_GE(png.size(), 8u);
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    }
    EXPECT_FALSE(fs::exists(a.Path() / "logo.png"));
}

TEST(ArtGenerator, ToolRefusesBadArgumentsAndUnwritableFolders) {
    EXPECT_NE(RunTool(""), 0);
    EXPECT_NE(RunTool("/tmp --sparkle"), 0);
    EXPECT_NE(RunTool("/nonexistent/folder/for/art"), 0);
}

}  // namespace
