// A post through WinHTTP (Windows): the address becomes UTF-16 here, the one boundary.
#include "http_post_system.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <string>

#include "catalog.h"
#include "tavlo_version.h"
#include "utf16.h"

namespace net {
namespace {

struct HandleCloser {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

PostAnswer Failed(DWORD error) {
    PostAnswer answer;
    switch (error) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            answer.failure = PostFailure::NoHost;
            break;
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case ERROR_WINHTTP_CONNECTION_ERROR:
            answer.failure = PostFailure::NoConnection;
            break;
        case ERROR_WINHTTP_TIMEOUT:
            answer.failure = PostFailure::TimedOut;
            break;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
            answer.failure = PostFailure::Secure;
            break;
        default:
            answer.failure = PostFailure::Other;
            answer.detail = "WinHTTP error " + std::to_string(error);
            break;
    }
    return answer;
}

}  // namespace

PostAnswer PostOverSystem(const std::string& url, const std::string& body,
                          std::chrono::milliseconds limit, const std::string& bearer,
                          std::string& retryAfter) {
    std::wstring wide = platform::Utf8ToWide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
        PostAnswer answer;
        answer.failure = PostFailure::BadAddress;
        return answer;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.empty()) target = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    const Handle session(WinHttpOpen(platform::Utf8ToWide("tavlo/" TAVLO_VERSION).c_str(),
                                     WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Failed(GetLastError());
    // Each step waits at most the whole limit: WinHTTP has no limit for the whole.
    const int each =
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 1, 0x7fffffff));
    WinHttpSetTimeouts(session.get(), each, std::min(each, 15000), each, each);
    const Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return Failed(GetLastError());
    const Handle request(WinHttpOpenRequest(connection.get(), L"POST", target.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return Failed(GetLastError());
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                     sizeof noRedirects);
    // The server's refusals in the player's language, where it has it.
    std::wstring headers = L"Content-Type: application/octet-stream\r\nAccept-Language: " +
                           platform::Utf8ToWide(platform::CurrentLanguageTag()) + L"\r\n";
    if (!bearer.empty())
        headers += L"Authorization: Bearer " + platform::Utf8ToWide(bearer) + L"\r\n";
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1L),
                            const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return Failed(GetLastError());
    }
    PostAnswer answer;
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    answer.status = static_cast<int>(status);
    wchar_t wait[32] = L"";
    size = sizeof wait;
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RETRY_AFTER, WINHTTP_HEADER_NAME_BY_INDEX,
                            wait, &size, WINHTTP_NO_HEADER_INDEX)) {
        retryAfter = platform::WideToUtf8(wait);
    }
    for (;;) {
        char buffer[4096];
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &read)) {
            return Failed(GetLastError());
        }
        if (read == 0) break;
        if (answer.body.size() < kMaxAnswerBytes) {
            answer.body.append(buffer,
                               std::min<std::size_t>(read, kMaxAnswerBytes - answer.body.size()));
        }
    }
    return answer;
}

}  // namespace net
