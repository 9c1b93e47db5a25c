// The checks every post makes before the system sends it, and the words for its failures.
#include "catalog.h"
#include "http_post.h"

#include <algorithm>

#include "http_post_system.h"
#include "web_address.h"

namespace net {

bool IsBearerKey(const std::string& text) {
    return !text.empty() && text.size() <= 128 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

PostAnswer Post(const std::string& url, const std::string& body, std::chrono::milliseconds limit,
                const std::string& bearer) {
    PostAnswer answer;
    if (!platform::IsWebAddress(url)) {
        answer.failure = PostFailure::BadAddress;
        return answer;
    }
    // Never a header of the caller's making: a line break would add headers of its own.
    if (!bearer.empty() && !IsBearerKey(bearer)) {
        answer.failure = PostFailure::Other;
        answer.detail = "the key is not in the form the server gives keys";
        return answer;
    }
    if (body.size() > kMaxPostBytes) {
        answer.failure = PostFailure::TooLarge;
        return answer;
    }
    std::string retryAfter;
    answer = PostOverSystem(url, body, limit, bearer, retryAfter);
    if (answer.failure == PostFailure::None) answer.retryAfter = RetryAfterSeconds(retryAfter);
    if (answer.body.size() > kMaxAnswerBytes) answer.body.resize(kMaxAnswerBytes);
    return answer;
}

int RetryAfterSeconds(const std::string& value) {
    std::size_t first = value.find_first_not_of(" \t");
    std::size_t last = value.find_last_not_of(" \t\r\n");
    if (first == std::string::npos || last - first >= 6) return -1;
    int seconds = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (value[i] < '0' || value[i] > '9') return -1;
        seconds = seconds * 10 + (value[i] - '0');
    }
    return seconds > 86400 ? 86400 : seconds;
}

std::string DescribeFailure(const PostAnswer& answer, const std::string& url) {
    switch (answer.failure) {
        case PostFailure::None:
            return "";
        case PostFailure::BadAddress:
            // TRANSLATORS: {1} is what the player gave as the server's address.
            return platform::Fill(tr("{1} is not a web address (http:// or https://)"), {url});
        case PostFailure::TooLarge:
            return platform::Fill(tr("the run is larger than {1} KiB, more than the server takes"),
                                  {std::to_string(kMaxPostBytes / 1024)});
        case PostFailure::NoHost:
            return platform::Fill(
                tr("the server's name in {1} could not be found (no network, or a "
                   "mistyped address?)"),
                {url});
        case PostFailure::NoConnection:
            return platform::Fill(tr("no server answered at {1} (is it running, and is the address "
                                     "right?)"),
                                  {url});
        case PostFailure::TimedOut:
            return platform::Fill(tr("the server at {1} did not answer in time; try again later"),
                                  {url});
        case PostFailure::Secure:
            return platform::Fill(
                tr("no secure connection could be made to {1} (its certificate?)"), {url});
        case PostFailure::Other:
            // TRANSLATORS: {1} is the server's address, {2} the system's reason (in English).
            return platform::Fill(tr("the run could not be sent to {1}: {2}"),
                                  {url, answer.detail});
    }
    return "";
}

}  // namespace net
