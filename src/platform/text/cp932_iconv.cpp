// Code page 932 (Shift-JIS) to UTF-8 through iconv, for every text engine.
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "text_engine.h"

namespace platform::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    if (bytes.empty()) return out;
    // glibc knows code page 932 by that name; the browser build's C library only by its
    // older one, Shift-JIS, which differs in a few rarely used characters.
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter installed: keep ASCII, which reads the same in both.
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else {
                out += kReplacement;
            }
        }
        return out;
    }
    std::vector<char> buffer(bytes.size() * 3 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buffer.data();
        size_t oLeft = buffer.size();
        const size_t result = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer.data(), static_cast<size_t>(o - buffer.data()));
        if (result != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or cut-off sequence: replace its first byte and go on behind it.
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace platform::text
