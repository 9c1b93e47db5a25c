// UTF-8 and the UTF-16 of Windows' wide-character calls (Windows builds only).
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace platform
