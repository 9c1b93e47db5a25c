#include <langinfo.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "catalog.h"
#include "files.h"
#include "system.h"

namespace platform {

bool SetEnvironment(const char* name, const std::string& value, bool overwrite) {
    return ::setenv(name, value.c_str(), overwrite ? 1 : 0) == 0;
}

bool UnsetEnvironment(const char* name) {
    return ::unsetenv(name) == 0;
}

Utf8Locale::Utf8Locale() {
    const locale_t wanted = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    const bool utf8 = wanted && std::strcmp(::nl_langinfo_l(CODESET, wanted), "UTF-8") == 0;
    if (wanted) ::freelocale(wanted);
    if (utf8) return;
    if (const char* all = std::getenv("LC_ALL")) {
        hadAll_ = true;
        all_ = all;
    }
    changed_ = SetEnvironment("LC_ALL", "C.UTF-8");
}

Utf8Locale::~Utf8Locale() {
    if (!changed_) return;
    if (hadAll_) {
        SetEnvironment("LC_ALL", all_);
    } else {
        UnsetEnvironment("LC_ALL");
    }
}

std::string MakeScratchFolder(const std::string& prefix) {
    std::string name = prefix + "XXXXXX";
    return ::mkdtemp(name.data()) ? name : std::string();
}

std::string CurrentFolder() {
    char path[PATH_MAX];
    return ::getcwd(path, sizeof path) ? path : ".";
}

bool ChangeFolder(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

std::int64_t MonotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SleepUntil(std::int64_t when) {
    const timespec until{static_cast<time_t>(when / 1000000000),
                         static_cast<long>(when % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string LinkTargetOf(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return "";
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "";
}

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "";
}

std::string UserFolderPath(UserFolder folder) {
    const char* home = std::getenv("HOME");
    const auto under = [&](const char* variable, const char* fallback) -> std::string {
        if (const char* value = std::getenv(variable); value && *value == '/') return value;
        return home && *home ? std::string(home) + fallback : "";
    };
    switch (folder) {
        case UserFolder::Config:
            return under("XDG_CONFIG_HOME", "/.config");
        case UserFolder::Data:
            return under("XDG_DATA_HOME", "/.local/share");
        case UserFolder::Pictures: {
            if (const char* pictures = std::getenv("XDG_PICTURES_DIR");
                pictures && *pictures == '/') {
                return pictures;
            }
            const std::string config = under("XDG_CONFIG_HOME", "/.config");
            const std::string own = home ? home : "";
            if (!config.empty()) {
                // The user folders file is a few lines: what is beyond its first KiBs is not read.
                const FileRead read =
                    ReadRegularFile(config + "/user-dirs.dirs", 4096, Beyond::KeepFirst);
                const std::string named = read.ok() ? PicturesFolderIn(read.bytes, own) : "";
                if (!named.empty()) return named;
            }
            return own.empty() ? "" : own + "/Pictures";
        }
    }
    return "";
}

std::string GameFolderPath(UserFolder folder) {
    const std::string parent = UserFolderPath(folder);
    return parent.empty() ? "" : parent + "/tavlo";
}

std::vector<std::string> PlayerLanguages() {
    return LanguagesFromEnvironment(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                    std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace platform
