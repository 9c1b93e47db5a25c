// A post through libcurl (Linux), loaded when the first post is made: libcurl brings about 30
// libraries (OpenSSL, GnuTLS, Kerberos, LDAP...) whose loading would otherwise be part of every
// start of the program, a verify's too (docs/performance.md). Only curl's header is seen at
// build time.
#include "http_post_system.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "catalog.h"
#include "tavlo_version.h"

namespace net {
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

// The calls this file makes, found in the library once it is loaded.
struct Curl {
    decltype(&::curl_global_init) global_init = nullptr;
    decltype(&::curl_easy_init) easy_init = nullptr;
    decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&::curl_easy_setopt) easy_setopt = nullptr;
    decltype(&::curl_easy_perform) easy_perform = nullptr;
    decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&::curl_easy_strerror) easy_strerror = nullptr;
    decltype(&::curl_slist_append) slist_append = nullptr;
    decltype(&::curl_slist_free_all) slist_free_all = nullptr;
    std::string failure;  // why it could not be loaded; "" when it was
};

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// libcurl, loaded and started once (kept to the end of the program).
const Curl& LoadedCurl() {
    static const Curl curl = [] {
        Curl c;
        // Debian's libcurl4 (OpenSSL), else the GnuTLS build many desktops have.
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* why = ::dlerror();
            c.failure = std::string("libcurl could not be loaded: ") + (why ? why : "");
            library = ::dlopen("libcurl-gnutls.so.4", RTLD_NOW | RTLD_LOCAL);
        }
        if (!library) return c;
        c.failure.clear();
        if (!Find(library, "curl_global_init", c.global_init) ||
            !Find(library, "curl_easy_init", c.easy_init) ||
            !Find(library, "curl_easy_cleanup", c.easy_cleanup) ||
            !Find(library, "curl_easy_setopt", c.easy_setopt) ||
            !Find(library, "curl_easy_perform", c.easy_perform) ||
            !Find(library, "curl_easy_getinfo", c.easy_getinfo) ||
            !Find(library, "curl_easy_strerror", c.easy_strerror) ||
            !Find(library, "curl_slist_append", c.slist_append) ||
            !Find(library, "curl_slist_free_all", c.slist_free_all)) {
            c.failure = "libcurl lacks a call this program makes";
            return c;
        }
        if (c.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) c.failure = "libcurl could not start";
        return c;
    }();
    return curl;
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
    PostAnswer answer;
    const Curl& lib = LoadedCurl();
    if (!lib.failure.empty()) {
        answer.failure = PostFailure::Other;
        answer.detail = lib.failure;
        return answer;
    }
    const std::unique_ptr<CURL, void (*)(CURL*)> curl(lib.easy_init(), lib.easy_cleanup);
    if (!curl) {
        answer.failure = PostFailure::Other;
        answer.detail = "libcurl could not start";
        return answer;
    }
    Received received;
    curl_slist* headers = lib.slist_append(nullptr, "Content-Type: application/octet-stream");
    headers = lib.slist_append(headers, "Expect:");  // no wait for a 100 Continue
    if (!bearer.empty()) {
        headers = lib.slist_append(headers, ("Authorization: Bearer " + bearer).c_str());
    }
    // The server's refusals in the player's language, where it has it.
    headers =
        lib.slist_append(headers, ("Accept-Language: " + platform::CurrentLanguageTag()).c_str());
    const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(headers,
                                                                        lib.slist_free_all);
    const long total =
        static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, limit.count()));
    CURL* c = curl.get();
    lib.easy_setopt(c, CURLOPT_URL, url.c_str());
    lib.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    lib.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    lib.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM in a program with other threads
    lib.easy_setopt(c, CURLOPT_TIMEOUT_MS, total);
    lib.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, std::min(total, 15000L));
    lib.easy_setopt(c, CURLOPT_POST, 1L);
    lib.easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    lib.easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    lib.easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    lib.easy_setopt(c, CURLOPT_USERAGENT, "tavlo/" TAVLO_VERSION);
    lib.easy_setopt(c, CURLOPT_WRITEFUNCTION, TakeBody);
    lib.easy_setopt(c, CURLOPT_WRITEDATA, &received);
    lib.easy_setopt(c, CURLOPT_HEADERFUNCTION, TakeHeader);
    lib.easy_setopt(c, CURLOPT_HEADERDATA, &received);
    char reason[CURL_ERROR_SIZE] = "";
    lib.easy_setopt(c, CURLOPT_ERRORBUFFER, reason);
    const CURLcode code = lib.easy_perform(c);
    if (code != CURLE_OK) {
        answer.failure = FailureOf(code);
        answer.detail = *reason ? reason : lib.easy_strerror(code);
        return answer;
    }
    long status = 0;
    lib.easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    answer.status = static_cast<int>(status);
    answer.body = std::move(received.body);
    retryAfter = received.retryAfter;
    return answer;
}

}  // namespace net
