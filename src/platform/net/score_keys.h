// The keys a score server gave this player's names (docs/scores.md): the first run under a name
// brings its key back, and each later run under it must send that key. One file a server and
// name in the data folder's "keys" folder, readable by the player alone, replaced whole.
#pragma once

#include <string>

namespace net {

// The file for `name` at `server` (its address as RunsAddress reads it) in `folder`'s "keys"
// ("" for the current folder).
std::string KeyFile(const std::string& folder, const std::string& server, const std::string& name);

// The key a key file's text holds for `server` and `name`; "" when it holds none that fits
// (another server or name, a damaged file, a key that is not in the server's form).
std::string KeyFromText(const std::string& text, const std::string& server,
                        const std::string& name);

// The key kept for `name` at `server`; "" when there is none.
std::string ReadKey(const std::string& folder, const std::string& server, const std::string& name);

// Keeps `key` for `name` at `server` (the folder made, the file written whole, 0600). "" when
// kept, else why not (the system's words, in English).
std::string KeepKey(const std::string& folder, const std::string& server, const std::string& name,
                    const std::string& key);

}  // namespace net
