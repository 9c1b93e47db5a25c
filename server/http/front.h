// The network side: HTTP/1.1 over TCP (Boost.Beast over Asio), bounded in everything a client
// controls. Connections wait on no thread: a few run the sockets, a pool runs the handlers, and
// a handler that answers later (Response::Later) holds neither.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "http.h"

namespace scores::http {

struct Limits {
    // From a request's first byte to its last (headers and body): past it the connection is
    // cut. A slow sender holds nothing but its socket until then.
    std::chrono::milliseconds request{std::chrono::seconds(10)};
    // A kept-alive connection's wait for its next request.
    std::chrono::milliseconds idle{std::chrono::seconds(15)};
    // Sending an answer.
    std::chrono::milliseconds write{std::chrono::seconds(10)};
    std::size_t headerBytes = 8192;     // the request line and the fields; beyond it 431
    std::size_t headerCount = 64;       // fields; beyond them 431
    std::size_t bodyBytes = 64 * 1024;  // beyond it 413, the body unread
    // Connections open at once from one address (its peer's, not X-Forwarded-For's); more are
    // answered 503 and closed. 0 for no limit (behind a proxy every connection is the proxy's).
    int perAddress = 32;
    int ioThreads = 2;        // threads that run the sockets
    int handlerThreads = 16;  // threads that run the handlers
};

class Front {
  public:
    Front(const Router& router, Limits limits);
    ~Front();
    Front(const Front&) = delete;
    Front& operator=(const Front&) = delete;

    // Listens on host:port (port 0: one the system picks) with the system's backlog. False
    // with the reason on standard error when it cannot.
    bool Bind(const std::string& host, int port);
    int Port() const;
    // Serves until Stop; returns once every request under way has been answered.
    void Run();
    // From any thread (a signal's): no new connections or requests; those under way finish.
    void Stop();

    struct State;  // front.cpp's: the sockets, the pool, the connections

  private:
    std::shared_ptr<State> state_;
};

}  // namespace scores::http
