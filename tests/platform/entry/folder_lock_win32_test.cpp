// One game a data folder on Windows (under Wine): a second lock on a locked folder is refused,
// and a second game started there ends at once with exit code 1, naming the folder; the lock
// file goes with the game; a lock that cannot be had says what happened.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "folder_lock.h"
#include "system.h"
#include "utf16.h"

namespace {

// Runs `command` in the working folder with its output in `output`; its exit code, or -1.
int RunProgram(const std::wstring& command, const std::wstring& output) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const HANDLE out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    DWORD code = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    return static_cast<int>(code);
}

// The game's path on the build machine, as Wine's Z: drive shows it.
std::wstring GamePath() {
    std::wstring path = platform::Utf8ToWide(TAVLO_BINARY);
    if (path.starts_with(L"/")) path = L"Z:" + path;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

TEST(FolderLock, ASecondGameInALockedFolderIsRefusedNamingIt) {
    const std::string folder = platform::MakeScratchFolder("tavlo-lock");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(platform::ChangeFolder(folder));
    const std::string shown = platform::CurrentFolder();

    EXPECT_EQ(entry::LockWorkingFolder(), entry::FolderLock::Taken);
    // Another handle is another holder, as another process would be.
    EXPECT_EQ(entry::LockWorkingFolder(), entry::FolderLock::HeldByAnother);

    const std::wstring output = platform::Utf8ToWide(shown) + L"\\second.txt";
    EXPECT_EQ(RunProgram(L"\"" + GamePath() + L"\" --data-dir .", output), 1);
    std::ifstream in(output.c_str(), std::ios::binary);
    std::stringstream said;
    said << in.rdbuf();
    EXPECT_NE(said.str().find("the game is already running in " + shown), std::string::npos)
        << said.str();
}

std::string Said(const std::wstring& output) {
    std::ifstream in(output.c_str(), std::ios::binary);
    std::stringstream said;
    said << in.rdbuf();
    return said.str();
}

TEST(FolderLock, TheLockFileGoesWithTheGameAndAFailureSaysWhatHappened) {
    const std::string folder = platform::MakeScratchFolder("tavlo-lock-gone");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(platform::ChangeFolder(folder));
    const std::wstring here = platform::Utf8ToWide(platform::CurrentFolder());
    SetEnvironmentVariableW(L"TAVLO_VIDEO", L"headless");
    // No archive there: the game takes the lock, says it has no archive and ends.
    const std::wstring game = L"\"" + GamePath() + L"\" --data-dir \"" + here + L"\"";
    EXPECT_EQ(RunProgram(game, here + L"\\..\\lock-gone-1.txt"), 1);
    EXPECT_EQ(GetFileAttributesW((here + L"\\tavlo.lock").c_str()), INVALID_FILE_ATTRIBUTES);

    // A folder where the lock file would be: named in what the game says.
    ASSERT_TRUE(CreateDirectoryW((here + L"\\tavlo.lock").c_str(), nullptr));
    EXPECT_EQ(RunProgram(game, here + L"\\..\\lock-gone-2.txt"), 1);
    const std::string said = Said(here + L"\\..\\lock-gone-2.txt");
    EXPECT_NE(said.find("cannot open tavlo.lock there: "), std::string::npos) << said;
    RemoveDirectoryW((here + L"\\tavlo.lock").c_str());
}

}  // namespace
