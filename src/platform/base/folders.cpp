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
int MakeFolder(const std::string& path) {
    // "C:" is no folder to make.
    if (path.size() == 2 && path[1] == ':') return errno = EEXIST, -1;
    return ::_wmkdir(Utf8ToWide(path).c_str());
}
#else
constexpr bool kBackslashToo = false;
int MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755);
}
#endif

}  // namespace

bool MakeFolders(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || (kBackslashToo && path[i] == '\\')) {
            const std::string part = path.substr(0, i);
            if (MakeFolder(part) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

}  // namespace platform
