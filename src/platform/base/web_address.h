// Web addresses the program may send a run to: http:// or https://, a host, and nothing a
// server or a shell could read two ways (no spaces, no control characters). Shared by the
// settings file's check and the network module, which checks again before it sends.
#pragma once

#include <string>

namespace platform {

// Longer than any score server's address a player would write.
constexpr std::size_t kMaxWebAddress = 300;

// Whether `url` is an http or https address with a host (scheme in any case), printable ASCII
// without spaces, at most kMaxWebAddress bytes.
bool IsWebAddress(const std::string& url);

// `text` as a URL's query component: letters, digits and "-._~" as they are, every other byte
// (each byte of a UTF-8 character) as %XX.
std::string UrlEncoded(const std::string& text);

}  // namespace platform
