// Routing, the requests' and responses' small members, and the site's files.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "http.h"

namespace scores::http {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Opens `relative` below the folder `root` for reading, never leaving it: not through "..", an
// absolute link or a link that points out (the kernel resolves the path beneath the folder).
int OpenBeneath(const std::string& root, const std::string& relative) {
    const int folder = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    int file = static_cast<int>(syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how));
    if (file < 0 && (errno == ENOSYS || errno == EPERM)) {
        // A kernel or a sandbox without openat2: the resolved path must still lie in the folder.
        std::error_code error;
        const auto base = std::filesystem::canonical(root, error);
        const auto path = std::filesystem::canonical(base / relative, error);
        const auto [end, _] = std::mismatch(base.begin(), base.end(), path.begin(), path.end());
        if (!error && end == base.end()) {
            file = openat(folder, relative.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        }
    }
    close(folder);
    return file;
}

// The whole of a regular file, or nullopt (a folder, a device, a read error).
std::optional<std::string> ReadWhole(int file) {
    struct stat facts {};
    if (fstat(file, &facts) != 0 || !S_ISREG(facts.st_mode)) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(facts.st_size));
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = read(file, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        have += static_cast<std::size_t>(got);
    }
    return bytes;
}

}  // namespace

bool Request::has_param(std::string_view key) const {
    for (const auto& [name, value] : params) {
        if (name == key) return true;
    }
    return false;
}

std::string Request::get_param_value(std::string_view key) const {
    for (const auto& [name, value] : params) {
        if (name == key) return value;
    }
    return {};
}

std::string Request::get_header_value(std::string_view key) const {
    for (const auto& [name, value] : headers) {
        if (SameName(name, key)) return value;
    }
    return {};
}

void Response::set_header(std::string_view key, std::string value) {
    for (auto& [name, old] : headers) {
        if (SameName(name, key)) {
            old = std::move(value);
            return;
        }
    }
    headers.emplace_back(std::string(key), std::move(value));
}

std::string Response::get_header_value(std::string_view key) const {
    for (const auto& [name, value] : headers) {
        if (SameName(name, key)) return value;
    }
    return {};
}

void Response::set_content(std::string content, std::string contentType) {
    body = std::move(content);
    set_header("Content-Type", std::move(contentType));
}

void Response::set_redirect(std::string url, int redirectStatus) {
    status = redirectStatus;
    set_header("Location", std::move(url));
}

void Router::Add(std::string method, const std::string& pattern, Handler handler,
                 QuickHandler quick) {
    routes_.push_back(
        {std::move(method), std::regex(pattern), std::move(handler), std::move(quick)});
}

void Router::Get(const std::string& pattern, Handler handler, QuickHandler quick) {
    Add("GET", pattern, std::move(handler), std::move(quick));
}

void Router::Post(const std::string& pattern, Handler handler) {
    Add("POST", pattern, std::move(handler));
}

void Router::Options(const std::string& pattern, Handler handler) {
    Add("OPTIONS", pattern, std::move(handler));
}

void Router::set_mount_point(std::string prefix, std::string folder) {
    mounts_.emplace_back(std::move(prefix), std::move(folder));
}

bool Router::ServeFile(const Request& request, Response& response) const {
    for (const auto& [prefix, folder] : mounts_) {
        if (!request.path.starts_with(prefix + "/")) continue;
        std::string relative = request.path.substr(prefix.size() + 1);
        if (relative.empty() || relative.back() == '/') relative += "index.html";
        // The decoded path: a NUL would cut the name short, and ".." is refused outright
        // rather than left to the kernel.
        if (relative.find('\0') != std::string::npos) return false;
        for (const auto& part : std::filesystem::path(relative)) {
            if (part == "..") return false;
        }
        const int file = OpenBeneath(folder, relative);
        if (file < 0) return false;
        std::optional<std::string> bytes = ReadWhole(file);
        close(file);
        if (!bytes) return false;
        response.status = 200;
        response.set_content(std::move(*bytes), ContentTypeOf(relative));
        return true;
    }
    return false;
}

const Router::Route* Router::Find(Request& request) const {
    const std::string_view method =
        request.method == "HEAD" ? std::string_view("GET") : std::string_view(request.method);
    for (const Route& route : routes_) {
        if (route.method != method) continue;
        std::smatch match;
        if (!std::regex_match(request.path, match, route.pattern)) continue;
        request.matches.assign(match.begin(), match.end());
        return &route;
    }
    return nullptr;
}

void Router::Handle(Request& request, Response& response, const std::shared_ptr<void>& keep) const {
    response.keep_ = keep;
    try {
        if (const Route* route = Find(request)) return route->handler(request, response);
        if ((request.method == "GET" || request.method == "HEAD") && ServeFile(request, response)) {
            return;
        }
        response.status = 404;
    } catch (...) {
        response.status = 500;
        if (exception_) exception_(request, response, std::current_exception());
    }
}

bool Router::HandleQuick(Request& request, Response& response,
                         const std::shared_ptr<void>& keep) const {
    try {
        const Route* route = Find(request);
        if (!route || !route->quick) return false;
        response.keep_ = keep;
        return route->quick(request, response);
    } catch (...) {
        response.status = 500;
        if (exception_) exception_(request, response, std::current_exception());
        return true;
    }
}

void Router::Finish(const Request& request, Response& response) const {
    if (postRouting_) postRouting_(request, response);
    if (response.status >= 400 && response.body.empty() && error_) error_(request, response);
}

void Router::Log(const Request& request, const Response& response) const {
    if (logger_) logger_(request, response);
}

std::string LogEscaped(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ContentTypeOf(std::string_view fileName) {
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".wasm", "application/wasm"},
        {".json", "application/json"},
        {".webmanifest", "application/manifest+json"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".txt", "text/plain; charset=utf-8"},
        {".data", "application/octet-stream"},
    };
    for (const auto& [ending, type] : kTypes) {
        if (fileName.ends_with(ending)) return std::string(type);
    }
    return "application/octet-stream";
}

}  // namespace scores::http
