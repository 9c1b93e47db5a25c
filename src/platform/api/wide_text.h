// Wide-character text of the API's W calls and the platform's UTF-8: UTF-16 where wchar_t has
// 16 bits (Windows), one code point a unit where it is wider (Linux).
#pragma once

#include <string>
#include <string_view>

namespace api {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace api
