// The player's folder on Windows (under Wine), in a folder named outside ASCII: the archive
// hard-linked into it (the same file, no copy), an older copy replaced, a best score of zero only
// where there is none; a portable copy plays beside itself only with its marker.
#include <windows.h>
// (<windows.h> makes ReplaceFile a macro for its own.)
#undef ReplaceFile

#include <string>

#include <gtest/gtest.h>

#include "data_folder.h"
#include "files.h"
#include "system.h"
#include "utf16.h"

namespace {

void Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(platform::ReplaceFile(path, bytes, platform::Existing::Replace).ok) << path;
}

std::string Read(const std::string& path) {
    return platform::ReadRegularFile(path, 1 << 20).bytes;
}

// The file's identity: its volume and index.
std::string Identity(const std::string& path) {
    const HANDLE file = CreateFileW(platform::Utf8ToWide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!known) return "";
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
           ":" + std::to_string(info.nFileIndexLow);
}

TEST(DataFolder, PreparesThePlayersFolderWhateverItsName) {
    const std::string base = platform::MakeScratchFolder(platform::Utf8Of(
        std::filesystem::temp_directory_path() / "tavlo-data-\u00fc\u65e5\u672c-"));
    ASSERT_FALSE(base.empty());
    const std::string programs = base + "\\Programs";
    ASSERT_TRUE(CreateDirectoryW(platform::Utf8ToWide(programs).c_str(), nullptr));
    const std::string archive = programs + "\\tavlo.rka";
    Write(archive, "archive v2");
    EXPECT_EQ(entry::InstalledArchive(programs + "\\tavlo.exe"), archive);
    EXPECT_EQ(entry::InstalledArchive(base + "\\tavlo.exe"), "");

    // First start: made, linked, a zero score.
    const std::string folder = base + "\\Spieler \u00fc\\Tavlo";
    EXPECT_EQ(entry::PrepareFolder(folder, archive), "");
    EXPECT_EQ(Identity(folder + "\\tavlo.rka"), Identity(archive));
    EXPECT_EQ(Read(folder + "\\score.dat"), std::string(4, '\0'));

    // A later start: the score kept; an old copy of the archive replaced by the present one.
    Write(folder + "\\score.dat", std::string("\x2a\0\0\0", 4));
    Write(folder + "\\tavlo.rka", "archive v1");
    EXPECT_EQ(entry::PrepareFolder(folder, archive), "");
    EXPECT_EQ(Read(folder + "\\tavlo.rka"), "archive v2");
    EXPECT_EQ(Read(folder + "\\score.dat"), std::string("\x2a\0\0\0", 4));

    // A portable copy: its own folder with the marker, the player's folder without.
    EXPECT_EQ(entry::PortableFolder(programs + "\\tavlo.exe"), "");
    Write(programs + "\\portable.txt", "");
    EXPECT_EQ(entry::PortableFolder(programs + "\\tavlo.exe"), programs);
}

}  // namespace
