// The system's part of a post (http_post_curl.cpp, http_post_win32.cpp): the address, the
// size and the bearer key (empty: none) are checked already; fills failure, detail, status,
// body and the raw Retry-After.
#pragma once

#include <chrono>
#include <string>

#include "http_post.h"

namespace net {

PostAnswer PostOverSystem(const std::string& url, const std::string& body,
                          std::chrono::milliseconds limit, const std::string& bearer,
                          std::string& retryAfter);

}  // namespace net
