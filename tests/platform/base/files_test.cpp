// Reading a file the user may have replaced by anything, and replacing a file the user keeps.
#include "files.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// (<windows.h> makes ReplaceFile a macro for its own.)
#undef ReplaceFile

#include <thread>

#include "utf16.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

using platform::ReadOutcome;

namespace fs = std::filesystem;

// Whatever stands at the name, the read ends at once with what it is; a FIFO is never waited on.
TEST(ReadRegularFile, TellsWhatStandsThereWithoutWaiting) {
    const std::string folder = testing_support::FreshFolder("read");
    std::ofstream(folder + "/four") << "1234";
    std::ofstream(folder + "/five") << "12345";
    fs::create_directory(folder + "/folder");
#ifndef _WIN32
    ::mkfifo((folder + "/fifo").c_str(), 0600);
    ASSERT_EQ(::symlink("four", (folder + "/link").c_str()), 0);
#endif
    struct Case {
        const char* name;
        platform::Beyond beyond;
        ReadOutcome outcome;
        const char* bytes;
    };
    const Case cases[] = {
        {"four", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"five", platform::Beyond::Refuse, ReadOutcome::TooLarge, ""},
        {"five", platform::Beyond::KeepFirst, ReadOutcome::Read, "1234"},
        {"missing", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"four/under", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"folder", platform::Beyond::Refuse, ReadOutcome::Folder, ""},
#ifdef _WIN32
        {"NUL", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
#else
        {"link", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"fifo", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
        {"/dev/null", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) +
                     (c.beyond == platform::Beyond::KeepFirst ? " kept" : ""));
        const std::string path =
            c.name[0] == '/' || c.name == std::string("NUL") ? c.name : folder + "/" + c.name;
        const platform::FileRead read = platform::ReadRegularFile(path, 4, c.beyond);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.bytes, c.bytes);
    }
}

std::string Read(const std::string& path) {
    return platform::ReadRegularFile(path, 1 << 20).bytes;
}

#ifdef _WIN32
// The names in a folder (MinGW's directory_iterator does not end on a Unix link under Wine).
int Entries(const std::string& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(platform::Utf8ToWide(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        const std::wstring name = found.cFileName;
        count += name != L"." && name != L"..";
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// The name a file at `path` is known by at the end of its links.
std::wstring FinalName(const std::string& path) {
    const HANDLE file = CreateFileW(platform::Utf8ToWide(path).c_str(), 0, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    wchar_t name[MAX_PATH] = L"";
    if (file != INVALID_HANDLE_VALUE) {
        GetFinalPathNameByHandleW(file, name, MAX_PATH, 0);
        CloseHandle(file);
    }
    const std::wstring whole = name;
    return whole.substr(whole.find_last_of(L'\\') + 1);
}

bool IsLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::Utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const std::wstring final = FinalName(path);
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || (!final.empty() && final != L"name");
}

// A symbolic link "name" to "real" in `folder`: Windows' own (Developer Mode lets users make
// them), or under Wine, which makes none of those, a Unix one (which Wine follows the same way).
bool MakeLink(const std::string& folder) {
    const std::string name = folder + "\\name";
    if (CreateSymbolicLinkW(platform::Utf8ToWide(name).c_str(), L"real",
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        IsLink(name)) {
        return true;
    }
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    DeleteFileW(platform::Utf8ToWide(name).c_str());
    std::wstring line = L"Z:\\bin\\ln -s real \"" +
                        platform::Utf8ToWide(unixName(platform::Utf8ToWide(name).c_str())) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // (Wine does not wait for a Unix program: the link appears when ln has run.)
    for (int wait = 0; wait < 100 && !IsLink(name); ++wait) Sleep(20);
    return IsLink(name);
}
#else
bool IsLink(const std::string& path) {
    return fs::is_symlink(path);
}

int Entries(const std::string& folder) {
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}
#endif

// A link the user made stays a link with KeepLinkAndMode, and the file behind it keeps its mode;
// with Replace a planted link is replaced and what it led to is left alone. Nothing else is left
// in the folder. Private replaces the link as Replace does, and the new file is its owner's alone.
TEST(ReplaceFile, KeepsOrReplacesALinkAsAsked) {
    struct Case {
        platform::Existing existing;
        bool linkStays;
        const char* behind;  // the link's target afterwards
    };
    const Case cases[] = {
        {platform::Existing::KeepLinkAndMode, true, "new"},
        {platform::Existing::Replace, false, "old"},
        {platform::Existing::Private, false, "old"},
    };
    for (const Case& c : cases) {
        const std::string folder = testing_support::FreshFolder("replace");
        std::ofstream(folder + "/real") << "old";
#ifdef _WIN32
        if (!MakeLink(folder)) GTEST_SKIP() << "this system makes no symbolic links for this user";
#else
        ::chmod((folder + "/real").c_str(), 0640);
        ASSERT_EQ(::symlink("real", (folder + "/name").c_str()), 0);
#endif
        const platform::Replaced replaced =
            platform::ReplaceFile(folder + "/name", "new", c.existing);
        EXPECT_TRUE(replaced.ok);
        EXPECT_EQ(IsLink(folder + "/name"), c.linkStays);
        EXPECT_EQ(Read(folder + "/name"), "new");
        EXPECT_EQ(Read(folder + "/real"), c.behind);
#ifndef _WIN32
        struct stat info {};
        ASSERT_EQ(::stat((folder + "/real").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        if (c.existing == platform::Existing::Private) {
            ASSERT_EQ(::stat((folder + "/name").c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600u);
        }
#endif
        EXPECT_EQ(Entries(folder), 2);
#ifdef _WIN32
        // (MinGW's folder walks do not end on a Unix link under Wine: it goes first.)
        DeleteFileW(platform::Utf8ToWide(folder + "\\name").c_str());
#endif
    }
}

#ifdef _WIN32
// What other programs do to the files on Windows: a scanner or indexer holding score.dat a
// moment does not lose the save, and a read-only leftover of the game's temporary file does not
// block it.
TEST(ReplaceFile, OutlastsWhatOtherProgramsDoToTheFiles) {
    const std::string folder = testing_support::FreshFolder("held");
    const std::string path = folder + "\\score.dat";
    std::ofstream(path) << "old";
    // Held without sharing deletion, as a scanner opens it, and let go 300 ms later.
    const HANDLE held = CreateFileW(platform::Utf8ToWide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread letGo([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const platform::Replaced replaced =
        platform::ReplaceFile(path, "new", platform::Existing::KeepLinkAndMode);
    letGo.join();
    EXPECT_TRUE(replaced.ok) << replaced.step << ": " << replaced.error;
    EXPECT_EQ(testing_support::ReadFile(path), "new");

    const std::string leftover = folder + "\\score.dat.tmp";
    std::ofstream(leftover) << "half";
    SetFileAttributesW(platform::Utf8ToWide(leftover).c_str(), FILE_ATTRIBUTE_READONLY);
    const int fd = platform::CreateFreshFile(leftover, 0666);
    EXPECT_GE(fd, 0) << "errno " << errno;
    if (fd >= 0) ::_close(fd);
    EXPECT_EQ(testing_support::ReadFile(leftover), "");
}
#endif

// A replacement that cannot be put in place leaves what stood there as it was and no temporary
// file beside it.
TEST(ReplaceFile, ARefusedReplacementLeavesTheOldFileAndNoTemporary) {
    struct Case {
        const char* what;
        bool readOnlyFile;  // else a folder stands at the name
        int error;
    };
    const Case cases[] = {
#ifdef _WIN32
        {"a folder", false, EACCES},
#else
        {"a folder", false, EISDIR},
#endif
        {"a read-only file", true, EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
#ifndef _WIN32
        if (c.readOnlyFile && ::geteuid() == 0) continue;  // root may write anything
#endif
        const std::string folder = testing_support::FreshFolder("refused");
        const std::string path = folder + "/score.dat";
        if (c.readOnlyFile) {
            std::ofstream(path) << "old";
            fs::permissions(
                path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
        } else {
            fs::create_directory(path);
        }
        const platform::Replaced replaced =
            platform::ReplaceFile(path, "new", platform::Existing::KeepLinkAndMode);
        EXPECT_FALSE(replaced.ok);
        EXPECT_STREQ(replaced.step, "rename");
        EXPECT_EQ(replaced.error, c.error);
        EXPECT_EQ(fs::is_directory(path), !c.readOnlyFile);
        if (c.readOnlyFile) {
            EXPECT_EQ(testing_support::ReadFile(path), "old");
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    }
}

}  // namespace
