// Key files: a few lines of text the player can read (and copy to another machine), named by a
// hash of the server and the name so that any name makes a safe file name.
#include "score_keys.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "checksums.h"
#include "files.h"
#include "http_post.h"

namespace net {
namespace {

constexpr std::size_t kLongestKeyFile = 4096;

// The server's address as the runs' address is made of it: a trailing '/' does not make
// another server.
std::string ServerOf(const std::string& server) {
    std::string base = server;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

}  // namespace

std::string KeyFile(const std::string& folder, const std::string& server, const std::string& name) {
    const std::string keys = folder.empty() ? "keys" : folder + "/keys";
    return keys + "/" + platform::Hex(platform::Fnv1a64(ServerOf(server) + "\n" + name), 16) +
           ".key";
}

std::string KeyFromText(const std::string& text, const std::string& server,
                        const std::string& name) {
    std::istringstream lines(text);
    std::string foundServer;
    std::string foundName;
    std::string key;
    bool serverSeen = false;
    bool nameSeen = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("server ", 0) == 0 && !serverSeen) {
            foundServer = line.substr(7);
            serverSeen = true;
        } else if (line.rfind("name ", 0) == 0 && !nameSeen) {
            foundName = line.substr(5);
            nameSeen = true;
        } else if (line.rfind("key ", 0) == 0 && key.empty()) {
            key = line.substr(4);
        }
    }
    if (foundServer != ServerOf(server) || foundName != name || !IsBearerKey(key)) return "";
    return key;
}

std::string ReadKey(const std::string& folder, const std::string& server, const std::string& name) {
    const platform::FileRead read =
        platform::ReadRegularFile(KeyFile(folder, server, name), kLongestKeyFile);
    return read.ok() ? KeyFromText(read.bytes, server, name) : "";
}

std::string KeepKey(const std::string& folder, const std::string& server, const std::string& name,
                    const std::string& key) {
    const std::string file = KeyFile(folder, server, name);
    if (!platform::MakeFolders(platform::FolderOf(file))) return std::strerror(errno);
    const std::string text =
        "# The score server below gave this key to the name below with its first run. Every\n"
        "# later run under the name must send it, and the server keeps no copy to show again:\n"
        "# keep this file (or the key) to go on sending runs under the name.\n"
        "server " +
        ServerOf(server) + "\nname " + name + "\nkey " + key + "\n";
    const platform::Replaced replaced =
        platform::ReplaceFile(file, text, platform::Existing::Private);
    if (!replaced.ok) return std::string(replaced.step) + ": " + std::strerror(replaced.error);
    return "";
}

}  // namespace net
