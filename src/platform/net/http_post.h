// Posting bytes to a web server: all the program asks of the network (a run sent to the score
// server, docs/scores.md). One blocking call with a time limit, nothing kept between calls.
// libcurl on Linux (http_post_curl.cpp), WinHTTP on Windows (http_post_win32.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace net {

// The most a post may carry: the score server's own limit for a run.
constexpr std::size_t kMaxPostBytes = 64 * 1024;
// The most of an answer's body that is kept.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

enum class PostFailure {
    None,          // the server answered (any status)
    BadAddress,    // not an http or https address (web_address.h)
    TooLarge,      // the body is over kMaxPostBytes: nothing was sent
    NoHost,        // the host's name could not be resolved
    NoConnection,  // nothing answered at the address (refused, unreachable)
    TimedOut,      // the time limit passed before the answer was whole
    Secure,        // the secure connection could not be made (certificate, TLS)
    Other,         // the system's words in `detail`
};

struct PostAnswer {
    PostFailure failure = PostFailure::None;
    std::string detail;   // for Other: the system's reason
    int status = 0;       // the HTTP status, when the server answered
    std::string body;     // its body, at most kMaxAnswerBytes
    int retryAfter = -1;  // its Retry-After in seconds; -1 when it gave none (or a date)
};

// Posts `body` (application/octet-stream) to `url` and waits for the answer, at most `limit`
// in all, with `bearer` (a score server's key for a name, URL-safe characters only) as
// "Authorization: Bearer" unless it is empty. Redirections are not followed. Checks the
// address, the size and the key before anything is sent.
PostAnswer Post(const std::string& url, const std::string& body, std::chrono::milliseconds limit,
                const std::string& bearer = "");

// Whether `text` may be sent as a bearer key: 1 to 128 letters, digits, '-' and '_'.
bool IsBearerKey(const std::string& text);

// A sentence for a player saying why the post got no answer (`url` names the server); "" for
// PostFailure::None.
std::string DescribeFailure(const PostAnswer& answer, const std::string& url);

// A Retry-After header's value in seconds: digits only (the date form gives -1), at most a day.
int RetryAfterSeconds(const std::string& value);

}  // namespace net
