// Code page 932 (Shift-JIS) to UTF-8 through Windows' own code page 932, for every text engine
// of the Windows build. One character at a time, so that an invalid or cut-off sequence becomes
// U+FFFD for its first byte and the conversion goes on behind it, as the iconv one does.
#include <windows.h>

#include "text_engine.h"
#include "utf16.h"

namespace platform::text {

std::string Cp932ToUtf8(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead >= 0x80 && IsDBCSLeadByteEx(932, lead) ? 2 : 1;
        wchar_t out[2];
        const int made =
            i + length <= bytes.size()
                ? MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data() + i, length, out, 2)
                : 0;
        if (made > 0) {
            wide.append(out, static_cast<std::size_t>(made));
            i += static_cast<std::size_t>(length);
        } else {
            wide += L'\xFFFD';
            ++i;
        }
    }
    return WideToUtf8(wide);
}

}  // namespace platform::text
