// Decimal numbers and quoted text.
#include "numbers.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        // Checked before it is computed, so the value cannot wrap past 2^64 back into range;
        // leading zeros cost nothing.
        if (limit < digit || value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

std::string Quoted(const std::string& text) {
    constexpr std::size_t kShown = 80;
    return text.size() <= kShown ? text : text.substr(0, kShown) + "...";
}

std::uint64_t NumberVariable(const char* name, std::uint64_t limit, std::uint64_t otherwise) {
    const char* text = std::getenv(name);
    if (!text || *text == '\0') return otherwise;
    std::uint64_t value = 0;
    if (!ParseUnsigned(text, limit, value)) {
        std::fprintf(stderr, "tavlo: %s: not a whole number from 0 to %llu: %s\n", name,
                     static_cast<unsigned long long>(limit), Quoted(text).c_str());
        std::exit(2);
    }
    return value;
}

}  // namespace platform
