// The server's own small HTTP interface: a request, its response and the routes they go
// through. The handlers see only this; the network side is front.h, and Beast stays in its
// .cpp files.
//
// The members' names (request.path, request.get_param_value(), response.set_content(), ...)
// are kept from the handlers' first HTTP layer, so that the handlers read as they did.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scores::http {

struct Request {
    std::string method;  // "GET", "POST", ... (HEAD is routed as GET)
    std::string target;  // the request line's target as sent, for the log
    std::string path;    // the target's path, percent-decoded
    std::string body;
    std::string remote_addr;                                   // the connection's peer
    std::vector<std::pair<std::string, std::string>> params;   // the query's, decoded, in order
    std::vector<std::pair<std::string, std::string>> headers;  // as sent, in order
    std::vector<std::string> matches;  // the route's groups; [0] the whole path

    bool has_param(std::string_view key) const;
    // The first value of `key`, or empty.
    std::string get_param_value(std::string_view key) const;
    // The first header of that name (any case), or empty.
    std::string get_header_value(std::string_view key) const;
};

class Response {
  public:
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;

    // Replaces a header of the same name (any case).
    void set_header(std::string_view key, std::string value);
    void set_content(std::string content, std::string contentType);
    void set_redirect(std::string url, int redirectStatus = 302);
    std::string get_header_value(std::string_view key) const;

    // Answering later, from any thread: the answer goes out once the handler has returned and
    // every copy of what this returns is gone. Until then the request and this response stay
    // where they are, so a later step may fill the response through references to both.
    std::shared_ptr<void> Later() const { return keep_.lock(); }

  private:
    friend class Router;
    std::weak_ptr<void> keep_;
};

// Routes by method and a pattern matched against the whole decoded path, in the order they were
// added; a mount point serves a folder's files below a prefix.
class Router {
  public:
    using Handler = std::function<void(const Request&, Response&)>;
    // A route's answer on the network's own thread, for what is answered from memory: it must
    // not wait (no store, no lock held long). False, the response left as it was, where it
    // would: the request then goes to the route's Handler on the handlers' pool.
    using QuickHandler = std::function<bool(const Request&, Response&)>;
    using ExceptionHandler = std::function<void(const Request&, Response&, std::exception_ptr)>;

    void Get(const std::string& pattern, Handler handler, QuickHandler quick = nullptr);
    void Post(const std::string& pattern, Handler handler);
    void Options(const std::string& pattern, Handler handler);
    // Files of `folder` under `prefix` + "/" (a folder's own index.html for a path ending in
    // "/"); no path leaves the folder, through ".." or a link.
    void set_mount_point(std::string prefix, std::string folder);
    // Sees every answer before it goes, the front's own refusals too (headers every answer
    // carries).
    void set_post_routing_handler(Handler handler) { postRouting_ = std::move(handler); }
    // Fills a refusal left without a body (every status from 400), the front's own too.
    void set_error_handler(Handler handler) { error_ = std::move(handler); }
    // A handler that throws: the response is set to 500 first.
    void set_exception_handler(ExceptionHandler handler) { exception_ = std::move(handler); }
    // Once a request's answer is final, just before it is sent.
    void set_logger(std::function<void(const Request&, const Response&)> logger) {
        logger_ = std::move(logger);
    }

    // Runs the request's handler (404 where none fits). `keep` is what Response::Later hands
    // out: the answer goes when it is gone.
    void Handle(Request& request, Response& response, const std::shared_ptr<void>& keep) const;
    // The route's quick handler where it has one and it answers: true. From the network's
    // thread, before Handle; false leaves the request for Handle.
    bool HandleQuick(Request& request, Response& response, const std::shared_ptr<void>& keep) const;
    // The post-routing handler, then the error handler's words for a refusal without a body.
    void Finish(const Request& request, Response& response) const;
    void Log(const Request& request, const Response& response) const;

  private:
    struct Route {
        std::string method;
        std::regex pattern;
        Handler handler;
        QuickHandler quick;
    };
    void Add(std::string method, const std::string& pattern, Handler handler,
             QuickHandler quick = nullptr);
    // The first route of the request's method whose pattern matches its path, its groups in
    // request.matches; null for none.
    const Route* Find(Request& request) const;
    bool ServeFile(const Request& request, Response& response) const;

    std::vector<Route> routes_;
    std::vector<std::pair<std::string, std::string>> mounts_;
    Handler postRouting_;
    Handler error_;
    ExceptionHandler exception_;
    std::function<void(const Request&, const Response&)> logger_;
};

// Bytes as a log line may hold them: printable ASCII as it is; control bytes, backslash and
// bytes from 0x7F as \xHH. So a CR or LF sent in a request never starts a line of its own.
std::string LogEscaped(std::string_view bytes);

// The content type of a file by its name's ending (application/octet-stream for the unknown).
std::string ContentTypeOf(std::string_view fileName);

}  // namespace scores::http
