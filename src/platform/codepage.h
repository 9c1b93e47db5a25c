// Code page 932 (Shift-JIS) to UTF-8, for text that leaves the program.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace platform
