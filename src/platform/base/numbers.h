// Decimal numbers as scripts, replays and environment variables write them, and text quoted in
// a message.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A decimal number of at most `limit` (leading zeros allowed); false for anything else.
bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& value);
// The text as a message quotes it: at most 80 bytes, then "...".
std::string Quoted(const std::string& text);
// The environment variable `name` as a decimal number of at most `limit`; `otherwise` when it
// is unset or empty. Anything else ends the process with code 2 and a line on stderr.
std::uint64_t NumberVariable(const char* name, std::uint64_t limit, std::uint64_t otherwise);

}  // namespace platform
