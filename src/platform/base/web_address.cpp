// Web addresses: the check and the query's encoding.
#include "web_address.h"

#include <algorithm>

namespace platform {

bool IsWebAddress(const std::string& url) {
    if (url.size() > kMaxWebAddress) return false;
    if (!std::all_of(url.begin(), url.end(), [](char c) { return c > ' ' && c <= '~'; })) {
        return false;
    }
    std::string lower = url;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    std::size_t rest = 0;
    if (lower.rfind("http://", 0) == 0) {
        rest = 7;
    } else if (lower.rfind("https://", 0) == 0) {
        rest = 8;
    } else {
        return false;
    }
    // A host: something before the path, the query or the fragment, and not a bare port.
    const std::size_t end = url.find_first_of("/?#", rest);
    const std::string authority = url.substr(rest, end == std::string::npos ? end : end - rest);
    return !authority.empty() && authority[0] != ':' && authority.find('@') == std::string::npos;
}

std::string UrlEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

}  // namespace platform
