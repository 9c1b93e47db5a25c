// The kernel's file calls as the game's score save uses them: create, write, flush, close, and
// replace in one step; and the errors a failed call leaves.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "process.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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
    EXPECT_EQ(Contents(Path("score.dat")), "old!");
    EXPECT_TRUE(MoveFileExA(Path("score.tmp").c_str(), Path("score.dat").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(Contents(Path("score.dat")), "new!");
    EXPECT_NE(::access(Path("score.tmp").c_str(), F_OK), 0);
}

TEST_F(KernelFiles, FailedCallsSayWhy) {
    { std::ofstream(Path("there")) << "x"; }
    ::mkdir(Path("folder").c_str(), 0755);
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
    EXPECT_EQ(Contents(Path("there")), "x");
}

}  // namespace
