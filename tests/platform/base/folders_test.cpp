// Folders made with their parents, whatever form the path takes on the system.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "files.h"
#include "process.h"

namespace {

TEST(MakeFolders, MakesEveryMissingFolderOfThePath) {
    const std::string base = platform::Utf8Of(
        std::filesystem::absolute(platform::PathOf(testing_support::FreshFolder("folders"))));
    const std::string forms[] = {
        base + "/one/two",
#ifdef _WIN32
        base + "\\three\\four",
        // The long-path form (and a redirected folder on a share, "\\server\share\...", which
        // is the same walk past its root).
        "\\\\?\\" + base + "\\five\\six",
#endif
    };
    for (const std::string& path : forms) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(platform::MakeFolders(path));
        EXPECT_TRUE(std::filesystem::is_directory(platform::PathOf(path)));
        EXPECT_TRUE(platform::MakeFolders(path));  // made already: nothing to do
    }
}

}  // namespace
