// Creating folders for the files the hosts write.
#include "folders.h"

#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <direct.h>

#include "utf16.h"
#endif

namespace platform {
namespace {

#ifdef _WIN32
constexpr bool kBackslashToo = true;

bool Separator(char c) {
    return c == '\\' || c == '/';
}

// The end of the part of `path` that is no folder to make: "C:\", "\\server\share\" (a network
// share, as redirected Pictures and AppData folders are), "\\?\C:\", "\\?\UNC\server\share\".
std::size_t RootLength(const std::string& path) {
    std::size_t at = 0;
    // (Both separators: the system reads "//?/" as it reads "\\?\".)
    const bool doubled = path.size() >= 2 && Separator(path[0]) && Separator(path[1]);
    if (doubled && path.size() >= 4 && (path[2] == '?' || path[2] == '.') && Separator(path[3])) {
        at = 4;
        if (path.compare(at, 4, "UNC\\") == 0 || path.compare(at, 4, "UNC/") == 0) {
            at += 4;
        } else {
            return path.size() >= at + 2 && path[at + 1] == ':' ? at + 2 : at;
        }
    } else if (doubled) {
        at = 2;
    } else {
        return path.size() >= 2 && path[1] == ':' ? 2 : 0;
    }
    // A share's two names, server and share.
    for (int names = 0; names < 2 && at < path.size(); ++names) {
        while (at < path.size() && !Separator(path[at])) ++at;
        if (names == 0 && at < path.size()) ++at;
    }
    return at;
}

int MakeFolder(const std::string& path) {
    return ::_wmkdir(Utf8ToWide(path).c_str());
}
#else
constexpr bool kBackslashToo = false;

std::size_t RootLength(const std::string&) {
    return 0;
}

int MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755);
}
#endif

}  // namespace

bool MakeFolders(const std::string& path) {
    for (std::size_t i = RootLength(path) + 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || (kBackslashToo && path[i] == '\\')) {
            const std::string part = path.substr(0, i);
            if (MakeFolder(part) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

}  // namespace platform
