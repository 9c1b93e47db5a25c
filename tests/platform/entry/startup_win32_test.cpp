// What the process sets up before anything runs, on Windows (under Wine): a library put in the
// working folder (a shared Downloads folder, say) is not loaded from there once it has.
#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "files.h"
#include "startup.h"
#include "system.h"

namespace {

TEST(Startup, LibrariesAreNotLoadedFromTheWorkingFolder) {
    const std::string folder = platform::MakeScratchFolder(
        platform::Utf8Of(std::filesystem::temp_directory_path() / "tavlo-planted-"));
    ASSERT_FALSE(folder.empty());
    std::error_code error;
    std::filesystem::copy_file(platform::PathOf(TAVLO_PLANTED),
                               platform::PathOf(folder + "\\tavlo_planted.dll"), error);
    ASSERT_FALSE(error) << error.message();
    const std::string before = platform::CurrentFolder();
    ASSERT_TRUE(platform::ChangeFolder(folder));
    entry::PrepareProcess();
    const HMODULE planted = LoadLibraryW(L"tavlo_planted.dll");
    EXPECT_EQ(planted, nullptr) << "loaded from the working folder";
    if (planted) FreeLibrary(planted);
    // The system's own libraries still load.
    const HMODULE system = LoadLibraryW(L"version.dll");
    EXPECT_NE(system, nullptr);
    if (system) FreeLibrary(system);
    platform::ChangeFolder(before);
}

}  // namespace
