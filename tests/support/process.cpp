#include "process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {
namespace {

namespace fs = std::filesystem;

int ProcessId() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentProcessId());
#else
    return ::getpid();
#endif
}

// Who owns the test's scratch folders: this process, or the process a death test's child was
// started from (the child finds the name in the environment it inherits), so that the parent
// sees what the child did to them.
std::string OwnerId() {
    if (const char* owner = std::getenv("TAVLO_TEST_OWNER"); owner && *owner) return owner;
    const std::string id = std::to_string(ProcessId());
#ifdef _WIN32
    ::SetEnvironmentVariableA("TAVLO_TEST_OWNER", id.c_str());
    ::_putenv(("TAVLO_TEST_OWNER=" + id).c_str());
#else
    ::setenv("TAVLO_TEST_OWNER", id.c_str(), 1);
#endif
    return id;
}

// Takes back what made the folder or anything in it read-only (Windows removes no such file).
void MakeWritable(const fs::path& folder) {
    std::error_code error;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
}

}  // namespace

bool EndedWith(const RunResult& result, int exitCode, const std::string& message) {
    return result.exitCode == exitCode &&
           (message.empty() ? result.standardError.empty()
                            : result.standardError.find(message) != std::string::npos);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void RemoveFolder(const std::string& folder) {
    MakeWritable(folder);
    std::error_code error;
    fs::remove_all(folder, error);
}

std::string FreshFolder(const std::string& name) {
    const fs::path folder = fs::temp_directory_path() / ("tavlo-test-" + OwnerId() + "-" + name);
    RemoveFolder(folder.string());
    // Windows removes no folder a process works in (a death test's child starts in its
    // parent's): such a one is emptied.
    std::error_code error;
    fs::create_directories(folder, error);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        fs::remove_all(it->path(), error);
    }
    if (error || !fs::is_directory(folder)) {
        std::fprintf(stderr, "cannot make the folder %s\n", folder.string().c_str());
    }
    return folder.string();
}

GameFolder::GameFolder(const std::string& name, const char* score) : path(FreshFolder(name)) {
    std::error_code error;
    fs::copy_file(TAVLO_BINARY_DIR "/tavlo.rka", path + "/tavlo.rka", error);
    if (error) std::fprintf(stderr, "cannot copy tavlo.rka to %s\n", path.c_str());
    if (score) std::ofstream(path + "/score.dat", std::ios::binary).write(score, 4);
}

std::string GameFolder::Read(const std::string& name) const {
    return ReadFile(path + "/" + name);
}

#ifndef _WIN32

RunResult GameFolder::Tavlo(const std::string& environment, const std::string& arguments) const {
    return Run("cd '" + path + "' && " + environment, TAVLO_BINARY " " + arguments);
}

RunResult GameFolder::Start(const std::string& script, const std::string& environment) const {
    std::ofstream(path + "/script.txt") << script;
    return Tavlo("TAVLO_VIDEO=headless TAVLO_INPUT=script.txt " + environment);
}

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

RunResult Run(const std::string& environment, const std::string& command) {
    const char* tmp = std::getenv("TMPDIR");
    std::string errorFile =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-stderr-" + std::to_string(::getpid()) + ".txt";
    std::string line = environment + " " + command + " 2>" + errorFile + " </dev/null";
    int status = std::system(line.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.standardError = ReadFile(errorFile);
    std::remove(errorFile.c_str());
    return result;
}

RunResult RunProgram(const Launch& launch) {
    std::string prefix = launch.folder.empty() ? "" : "cd " + Quoted(launch.folder) + " &&";
    for (const std::string& assignment : launch.environment) {
        const auto equals = assignment.find('=');
        prefix += " " + assignment.substr(0, equals) + "=" + Quoted(assignment.substr(equals + 1));
    }
    std::string command = "timeout -s KILL " + std::to_string(launch.seconds);
    if (launch.memoryLimit) command += " prlimit --as=" + std::to_string(launch.memoryLimit);
    command += " " + Quoted(launch.program);
    for (const std::string& argument : launch.arguments) command += " " + Quoted(argument);
    return Run(prefix, command);
}

bool BecomeOrdinaryUserOwning(std::initializer_list<const char*> paths) {
    if (::geteuid() != 0) return true;
    for (const char* path : paths) {
        if (::chown(path, 65534, 65534) != 0) return false;
    }
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

#else

namespace {

std::wstring Wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// One argument as the C runtime's command-line parser reads it back: in quotes, a quote and the
// backslashes before it (or before the closing quote) escaped.
std::wstring QuotedArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring UpperName(const std::wstring& assignment) {
    std::wstring name = assignment.substr(0, assignment.find(L'=', 1));
    for (wchar_t& c : name) c = static_cast<wchar_t>(::towupper(c));
    return name;
}

// This process's environment with the launch's assignments in place of any of the same name.
std::wstring EnvironmentBlock(const std::vector<std::string>& assignments) {
    std::vector<std::wstring> added;
    for (const std::string& assignment : assignments) added.push_back(Wide(assignment));
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
        bool replaced = false;
        for (const std::wstring& assignment : added) {
            replaced = replaced || UpperName(assignment) == UpperName(entry);
        }
        if (!replaced) block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(own);
    for (const std::wstring& assignment : added) block.append(assignment).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

HeldOpen::HeldOpen(const std::string& path)
    : handle_(CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot hold %s open (error %lu)\n", path.c_str(), GetLastError());
    }
}

bool HeldOpen::ok() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

HeldOpen::~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

RunResult RunProgram(const Launch& launch) {
    static int runs = 0;
    const fs::path errorFile =
        fs::temp_directory_path() /
        ("tavlo-stderr-" + std::to_string(ProcessId()) + "-" + std::to_string(++runs) + ".txt");
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE error = CreateFileW(errorFile.wstring().c_str(), GENERIC_WRITE, share, &inherited,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, share, &inherited,
                                 OPEN_EXISTING, 0, nullptr);
    RunResult result;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = nothing;
    startup.hStdError = error;
    std::wstring commandLine = QuotedArgument(Wide(launch.program));
    for (const std::string& argument : launch.arguments) {
        commandLine += L" " + QuotedArgument(Wide(argument));
    }
    std::wstring environment = EnvironmentBlock(launch.environment);
    const std::wstring folder = Wide(launch.folder);
    PROCESS_INFORMATION process{};
    // Wine now and then refuses a start with ERROR_INTERNAL_ERROR when the machine is busy; a
    // second try starts it.
    const auto start = [&] {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                               CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment.data(),
                               folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
                return true;
            }
            if (GetLastError() != ERROR_INTERNAL_ERROR) return false;
            Sleep(100);
        }
        return false;
    };
    if (error != INVALID_HANDLE_VALUE && nothing != INVALID_HANDLE_VALUE && start()) {
        // The memory limit: a job of its own that ends with this call.
        HANDLE job = nullptr;
        if (launch.memoryLimit) {
            job = CreateJobObjectW(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags =
                JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            limits.ProcessMemoryLimit = launch.memoryLimit;
            if (job) {
                SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits);
                AssignProcessToJobObject(job, process.hProcess);
            }
        }
        ResumeThread(process.hThread);
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(launch.seconds) * 1000) !=
            WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 137);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (job) CloseHandle(job);
    } else {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", launch.program.c_str(),
                     GetLastError());
    }
    if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    result.standardError = ReadFile(errorFile.string());
    std::error_code ignored;
    fs::remove(errorFile, ignored);
    return result;
}

#endif

}  // namespace testing_support
