// A post through libcurl (Linux).
#include "http_post_system.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

#include "catalog.h"

#ifndef TAVLO_VERSION
#define TAVLO_VERSION "unknown"
#endif

namespace platform::net {
namespace {

struct Received {
    std::string body;
    std::string retryAfter;
};

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const std::size_t bytes = size * count;
    // Beyond what is kept the answer is read on and dropped, so the connection ends cleanly.
    if (received->body.size() < kMaxAnswerBytes) {
        received->body.append(data, std::min(bytes, kMaxAnswerBytes - received->body.size()));
    }
    return bytes;
}

std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const std::string_view line(data, size * count);
    constexpr std::string_view kName = "retry-after:";
    if (line.size() > kName.size() &&
        std::equal(kName.begin(), kName.end(), line.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        })) {
        received->retryAfter = std::string(line.substr(kName.size(), 16));
    }
    return size * count;
}

PostFailure FailureOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return PostFailure::NoHost;
        case CURLE_COULDNT_CONNECT:
            return PostFailure::NoConnection;
        case CURLE_OPERATION_TIMEDOUT:
            return PostFailure::TimedOut;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CACERT_BADFILE:
            return PostFailure::Secure;
        default:
            return PostFailure::Other;
    }
}

}  // namespace

PostAnswer PostOverSystem(const std::string& url, const std::string& body,
                          std::chrono::milliseconds limit, const std::string& bearer,
                          std::string& retryAfter) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    PostAnswer answer;
    const std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        answer.failure = PostFailure::Other;
        answer.detail = "libcurl could not start";
        return answer;
    }
    Received received;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/octet-stream");
    headers = curl_slist_append(headers, "Expect:");  // no wait for a 100 Continue
    if (!bearer.empty()) {
        headers = curl_slist_append(headers, ("Authorization: Bearer " + bearer).c_str());
    }
    // The server's refusals in the player's language, where it has it.
    headers =
        curl_slist_append(headers, ("Accept-Language: " + platform::CurrentLanguageTag()).c_str());
    const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(headers,
                                                                        curl_slist_free_all);
    const long total =
        static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, limit.count()));
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM in a program with other threads
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, total);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, std::min(total, 15000L));
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "tavlo/" TAVLO_VERSION);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &received);
    char reason[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, reason);
    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        answer.failure = FailureOf(code);
        answer.detail = *reason ? reason : curl_easy_strerror(code);
        return answer;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    answer.status = static_cast<int>(status);
    answer.body = std::move(received.body);
    retryAfter = received.retryAfter;
    return answer;
}

}  // namespace platform::net
