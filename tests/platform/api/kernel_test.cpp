// The kernel's file calls as the game's score save uses them: create, write, flush, close, and
// replace in one step; and the errors a failed call leaves.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "faults.h"
#include "host.h"
#include "host_headless.h"
#include "idle_host.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;

class KernelFiles : public ::testing::Test {
  protected:
    void SetUp() override { folder_ = testing_support::FreshFolder("kernel"); }
    std::string Path(const char* name) const { return folder_ + "/" + name; }
    std::string folder_;
};

TEST_F(KernelFiles, ASavedFileReplacesTheOldOneInOneStep) {
    { std::ofstream(Path("score.dat")) << "old!"; }
    HANDLE file = CreateFileA(Path("score.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "new!", 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(testing_support::ReadFile(Path("score.dat")), "old!");
    EXPECT_TRUE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(testing_support::ReadFile(Path("score.dat")), "new!");
    EXPECT_FALSE(fs::exists(Path("score.tmp")));
}

TEST_F(KernelFiles, FailedCallsSayWhy) {
    { std::ofstream(Path("there")) << "x"; }
    fs::create_directory(Path("folder"));
    auto opens = [](const std::string& path, DWORD disposition) -> BOOL {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return FALSE;
        CloseHandle(file);
        return TRUE;
    };
    struct Case {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"open a missing file", [&] { return opens(Path("missing"), OPEN_EXISTING); },
         ERROR_FILE_NOT_FOUND},
        {"create one that exists", [&] { return opens(Path("there"), CREATE_NEW); },
         ERROR_FILE_EXISTS},
        {"a folder is no file", [&] { return opens(Path("folder"), OPEN_EXISTING); },
         ERROR_ACCESS_DENIED},
        {"rename onto a file without replacing",
         [&] { return MoveFileExA(Path("there").c_str(), Path("there").c_str(), 0); },
         ERROR_ALREADY_EXISTS},
        {"delete a missing file", [&] { return DeleteFileA(Path("missing").c_str()); },
         ERROR_FILE_NOT_FOUND},
        {"close a bad handle", [] { return CloseHandle(INVALID_HANDLE_VALUE); },
         ERROR_INVALID_HANDLE},
        {"write to a bad handle", [] { return WriteFile(nullptr, "x", 1, nullptr, nullptr); },
         ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(testing_support::ReadFile(Path("there")), "x");
}

// The replacement goes where a link points and keeps the replaced file's mode; the links stay.
TEST_F(KernelFiles, AReplacedFileKeepsItsLinksAndMode) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links and modes are POSIX's";
#else
    ::mkdir(Path("real").c_str(), 0755);
    struct Case {
        const char* what;
        const char* link;    // "score.dat" is made a link to this (none: a plain file)
        const char* target;  // the file that must hold the new bytes
        mode_t mode;         // the target's mode before (0: it does not exist)
    };
    const Case cases[] = {
        {"a plain file", nullptr, "score.dat", 0600},
        {"a relative link", "real/score.dat", "real/score.dat", 0640},
        {"a link to a link", "chain", "real/chained", 0604},
        {"a dangling link", "real/new.dat", "real/new.dat", 0},
    };
    ASSERT_EQ(::symlink("real/chained", Path("chain").c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(Path("score.dat").c_str());
        if (c.link) {
            ASSERT_EQ(::symlink(c.link, Path("score.dat").c_str()), 0);
        }
        if (c.mode) {
            std::ofstream(Path(c.target)) << "old!";
            ::chmod(Path(c.target).c_str(), c.mode);
        }
        std::ofstream(Path("score.tmp")) << "new!";
        ::chmod(Path("score.tmp").c_str(), 0666);
        ASSERT_TRUE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
        EXPECT_EQ(testing_support::ReadFile(Path(c.target)), "new!");
        struct stat info {};
        ASSERT_EQ(::lstat(Path("score.dat").c_str(), &info), 0);
        EXPECT_EQ(S_ISLNK(info.st_mode), c.link != nullptr);
        ASSERT_EQ(::stat(Path(c.target).c_str(), &info), 0);
        if (c.mode) {
            EXPECT_EQ(info.st_mode & 07777, c.mode);
        }
        EXPECT_NE(::access(Path("score.tmp").c_str(), F_OK), 0);
    }
#endif
}

// A link into another file system: the file is copied beside the link's target and renamed there.
TEST_F(KernelFiles, ALinkToAnotherFileSystemIsFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links are POSIX's";
#else
    const std::string other = "/dev/shm/tavlo-kernel-" + std::to_string(::getpid());
    struct stat here {
    }, there{};
    if (::mkdir(other.c_str(), 0700) != 0 || ::stat(folder_.c_str(), &here) != 0 ||
        ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev) {
        ::rmdir(other.c_str());
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    { std::ofstream(other + "/score.dat") << "old!"; }
    ::chmod((other + "/score.dat").c_str(), 0640);
    ASSERT_EQ(::symlink((other + "/score.dat").c_str(), Path("score.dat").c_str()), 0);
    { std::ofstream(Path("score.tmp")) << "new!"; }
    EXPECT_TRUE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(testing_support::ReadFile(other + "/score.dat"), "new!");
    struct stat info {};
    EXPECT_EQ(::stat((other + "/score.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_NE(::access(Path("score.tmp").c_str(), F_OK), 0);
    EXPECT_EQ(std::system(("rm -rf '" + other + "'").c_str()), 0);
#endif
}

// A file made anew is never written through a link planted at its name, nor through a second
// name of the same file: the planted name is replaced, what it led to stays as it was.
TEST_F(KernelFiles, ANewFileIsNeverWrittenThroughWhatStoodAtItsName) {
    struct Case {
        const char* what;
        void (*plant)(const std::string& victim, const std::string& name);
    };
    const Case cases[] = {
    // (Windows: a symbolic link needs a privilege ordinary users lack.)
#ifndef _WIN32
        {"a symbolic link", [](const std::string& victim,
                               const std::string& name) { fs::create_symlink(victim, name); }},
#endif
        {"a hard link", [](const std::string& victim,
                           const std::string& name) { fs::create_hard_link(victim, name); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Path("score.tmp"));
        { std::ofstream(Path("victim")) << "mine"; }
        fs::permissions(Path("victim"), fs::perms::owner_read | fs::perms::owner_write);
        ASSERT_NO_THROW(c.plant(Path("victim"), Path("score.tmp")));
        HANDLE file = CreateFileA(Path("score.tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, "new!", 4, &written, nullptr));
        EXPECT_TRUE(CloseHandle(file));
        EXPECT_EQ(testing_support::ReadFile(Path("victim")), "mine");
#ifndef _WIN32
        EXPECT_EQ(fs::status(Path("victim")).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
#endif
        EXPECT_EQ(testing_support::ReadFile(Path("score.tmp")), "new!");
    }
}

// Once the file is renamed into place the save has happened, even when the folder refuses to be
// synced afterwards (here: a folder its owner may write but not read).
TEST_F(KernelFiles, ARenameDoneIsASaveEvenWhenTheFolderWillNotSync) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder that cannot be synced needs POSIX modes and users";
#else
    { std::ofstream(Path("score.dat")) << "old!"; }
    { std::ofstream(Path("score.tmp")) << "new!"; }
    EXPECT_EXIT(
        {
            if (!testing_support::BecomeOrdinaryUserOwning(
                    {folder_.c_str(), Path("score.dat").c_str(), Path("score.tmp").c_str()}) ||
                ::chmod(folder_.c_str(), 0300) != 0) {
                std::_Exit(9);
            }
            const BOOL moved = MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            std::_Exit(moved ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "is saved, but its folder could not be synced");
    ::chmod(folder_.c_str(), 0755);
    EXPECT_EQ(testing_support::ReadFile(Path("score.dat")), "new!");
#endif
}

// A host that only hears which files were put in place.
class ReplacedFiles final : public testing_support::IdleHost {
  public:
    static inline std::vector<std::string> heard;
    void FileReplaced(const std::string& path) override { heard.push_back(path); }
};

// The host hears of a replace once the file is in place, and only then: the browser stores the
// file from there.
TEST_F(KernelFiles, TheHostHearsOfEachFilePutInPlace) {
    struct HeadlessAgain {
        ~HeadlessAgain() {
            platform::SetFailingCalls("");
            host::Shutdown();
            host::SetHostFactory(headless::CreateHeadlessHost);
        }
    } headlessAgain;
    host::Shutdown();
    host::SetHostFactory([]() -> host::Host* { return new ReplacedFiles; });
    ReplacedFiles::heard.clear();
    { std::ofstream(Path("score.tmp")) << "new!"; }
    EXPECT_TRUE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    { std::ofstream(Path("score.tmp")) << "two!"; }
    platform::SetFailingCalls("MoveFileExA");
    EXPECT_FALSE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReplacedFiles::heard, std::vector<std::string>{Path("score.dat")});
}

}  // namespace
