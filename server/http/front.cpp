// Each connection is a chain of asynchronous steps on a strand of its own: wait for a request's
// first byte (the idle limit), read its header and then its body under one deadline, hand it to
// the handlers' pool, and write the answer when the last holder of the exchange lets it go.
#include "front.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/url/parse.hpp>

namespace scores::http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace wire = boost::beast::http;
using tcp = asio::ip::tcp;

namespace {

class Session;

// The most connections taken from the listen queue at one wake-up, beside the one it brought.
constexpr int kAcceptsAtOnce = 256;

// What a request's raw bytes may hold that a URL parser refuses although clients send it: bytes
// from 0x80 (a name in UTF-8 typed into a command line), encoded here as a browser would.
std::string EncodedHigh(std::string_view target) {
    std::string out;
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

}  // namespace

struct Front::State {
    State(const Router& r, Limits l)
        : router(r), limits(l), handlers(static_cast<std::size_t>(std::max(1, l.handlerThreads))) {}

    const Router& router;
    Limits limits;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer pause{io};  // after EMFILE, before accepting again
    asio::thread_pool handlers;
    std::atomic<bool> stopping{false};

    std::mutex mutex;
    std::unordered_map<std::string, int> perAddress;
    std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
};

namespace {

using State = Front::State;

class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(std::shared_ptr<State> state, tcp::socket socket, std::string address)
        : state_(std::move(state)), stream_(std::move(socket)), address_(std::move(address)) {}
    ~Session() {
        std::lock_guard lock(state_->mutex);
        if (--state_->perAddress[address_] <= 0) state_->perAddress.erase(address_);
        state_->sessions.erase(this);
    }

    auto Executor() { return stream_.get_executor(); }

    void Start(bool overLimit) {
        if (overLimit) return Refuse(503, {{"Retry-After", "5"}});
        WaitForRequest();
    }

    // On Stop: a connection between requests ends now; one in a request finishes it.
    void EndIfIdle() {
        if (idle_) stream_.cancel();
    }

    // The answer to `request`: the error handler's words for a bare refusal, logged, then sent.
    void Send(Request request, Response response) {
        state_->router.Finish(request, response);
        state_->router.Log(request, response);
        auto out = std::make_shared<wire::response<wire::string_body>>();
        out->version(11);
        out->result(static_cast<unsigned>(response.status));
        for (const auto& [name, value] : response.headers) out->set(name, value);
        const bool keep = keepAlive_ && !close_ && !state_->stopping;
        out->keep_alive(keep);
        out->body() = std::move(response.body);
        out->prepare_payload();
        if (request.method == "HEAD") {
            const std::size_t size = out->body().size();
            out->body().clear();
            out->content_length(size);
        }
        stream_.expires_after(state_->limits.write);
        wire::async_write(
            stream_, *out,
            [self = shared_from_this(), out, keep](beast::error_code error, std::size_t) {
                if (error || !keep) return self->Shut();
                self->WaitForRequest();
            });
    }

  private:
    // The next request's first byte, within the idle limit.
    void WaitForRequest() {
        if (state_->stopping) return Shut();
        if (buffer_.size() > 0) return ReadHeader();  // pipelined: it is here already
        idle_ = true;
        stream_.expires_after(state_->limits.idle);
        stream_.async_read_some(
            buffer_.prepare(4096),
            [self = shared_from_this()](beast::error_code error, std::size_t size) {
                self->idle_ = false;
                if (error) return self->Close();
                self->buffer_.commit(size);
                self->ReadHeader();
            });
    }

    // From here to the body's last byte, one deadline.
    void ReadHeader() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(state_->limits.headerBytes));
        parser_->body_limit(state_->limits.bodyBytes);
        stream_.expires_after(state_->limits.request);
        wire::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    self->OnHeader(error);
                                });
    }

    void OnHeader(beast::error_code error) {
        if (error) return Failed(error);
        const auto& message = parser_->get();
        if (static_cast<std::size_t>(std::distance(message.begin(), message.end())) >
            state_->limits.headerCount) {
            return Refuse(431);
        }
        keepAlive_ = message.keep_alive();
        if (!parser_->is_done() && beast::iequals(message[wire::field::expect], "100-continue")) {
            static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            return asio::async_write(
                stream_, asio::buffer(kContinue),
                [self = shared_from_this()](beast::error_code failed, std::size_t) {
                    if (failed) return self->Close();
                    self->ReadBody();
                });
        }
        ReadBody();
    }

    void ReadBody() {
        if (parser_->is_done()) return Dispatch();
        wire::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (error) return self->Failed(error);
                             self->Dispatch();
                         });
    }

    // A request that could not be read: a refusal where the client is owed one, else the end.
    void Failed(beast::error_code error) {
        if (error == wire::error::header_limit) return Refuse(431);
        if (error == wire::error::body_limit) return Refuse(413);
        const beast::error_code http = wire::error::end_of_stream;
        if (error.category() == http.category() && error != wire::error::end_of_stream &&
            error != wire::error::partial_message) {
            return Refuse(400);
        }
        Close();  // the deadline, a closed or reset connection
    }

    // The exchange: the request and its answer, held by the handler and by whatever it hands
    // Later() to. The last holder lets it go, and the answer is sent on the connection's strand
    // (at once where that is where it was let go: an answer made on the strand itself).
    struct Exchange {
        explicit Exchange(std::shared_ptr<Session> s)
            : session(std::move(s)), work(session->state_->io.get_executor()) {}
        ~Exchange() {
            asio::dispatch(session->stream_.get_executor(), [s = session, q = std::move(request),
                                                             r = std::move(response)]() mutable {
                s->Send(std::move(q), std::move(r));
            });
        }
        std::shared_ptr<Session> session;
        asio::executor_work_guard<asio::io_context::executor_type> work;
        Request request;
        Response response;
    };

    void Dispatch() {
        stream_.expires_never();  // the handler's time is not the client's
        auto& message = parser_->get();
        auto exchange = std::make_shared<Exchange>(shared_from_this());
        Request& request = exchange->request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        request.remote_addr = address_;
        for (const auto& field : message) {
            request.headers.emplace_back(std::string(field.name_string()),
                                         std::string(field.value()));
        }
        request.body = std::move(message.body());
        parser_.reset();
        const std::string target = EncodedHigh(request.target);  // the view below reads it
        const auto url = boost::urls::parse_origin_form(target);
        if (!url) {
            exchange->response.status = 400;
            return;  // answered as the exchange goes
        }
        request.path = url->path();
        for (const auto& param : url->params(boost::urls::encoding_opts(true))) {
            request.params.emplace_back(param.key, param.value);
        }
        // An answer from memory is made here, on the connection's strand: a trip to the pool
        // and back would cost two threads' wake-ups (most of such a request's time).
        if (state_->router.HandleQuick(request, exchange->response, exchange)) return;
        asio::post(state_->handlers, [exchange = std::move(exchange)] {
            Session& session = *exchange->session;
            session.state_->router.Handle(exchange->request, exchange->response, exchange);
        });
    }

    // The front's own refusal; the connection ends after it.
    void Refuse(int status, std::vector<std::pair<std::string, std::string>> headers = {}) {
        close_ = true;
        Request request;
        request.method = "-";
        request.target = "-";
        // The request line is known once it has been read, also where a header field or the
        // body's announced length is what is refused (a body too large is told at its header).
        if (parser_ && !parser_->get().target().empty()) {
            request.method = std::string(parser_->get().method_string());
            request.target = std::string(parser_->get().target());
        }
        request.remote_addr = address_;
        Response response;
        response.status = status;
        response.headers = std::move(headers);
        Send(std::move(request), std::move(response));
    }

    // After the last answer: the sending side closed, and what the client still sends read and
    // dropped for a moment, so that the answer is not lost to a reset.
    void Shut() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(std::chrono::seconds(1));
        Drain();
    }
    void Drain() {
        stream_.async_read_some(asio::buffer(drain_),
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    if (error) return self->Close();
                                    self->Drain();
                                });
    }
    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

    std::shared_ptr<State> state_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_{32 * 1024};
    std::optional<wire::request_parser<wire::string_body>> parser_;
    std::string address_;
    bool idle_ = false;
    bool keepAlive_ = false;
    bool close_ = false;
    char drain_[1024];
};

// A new connection: counted against its address, then started on its own strand.
void Open(const std::shared_ptr<State>& state, tcp::socket socket) {
    beast::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    const tcp::endpoint peer = socket.remote_endpoint(ignored);
    std::string address =
        peer.address().is_v6() && peer.address().to_v6().is_v4_mapped()
            ? asio::ip::make_address_v4(asio::ip::v4_mapped, peer.address().to_v6()).to_string()
            : peer.address().to_string();
    auto session = std::make_shared<Session>(state, std::move(socket), address);
    bool over = false;
    {
        std::lock_guard lock(state->mutex);
        const int open = ++state->perAddress[address];
        over = state->limits.perAddress > 0 && open > state->limits.perAddress;
        state->sessions[session.get()] = session;
    }
    asio::dispatch(session->Executor(), [session, over] { session->Start(over); });
}

// Each wake-up takes every connection the listen queue holds, not one: a connection's client
// has sent its request as soon as the system completed the handshake, and a queue taken one a
// turn, behind the answers of all the connections already open, made the last of a thousand
// wait a second and more for its first answer.
void Accept(const std::shared_ptr<State>& state) {
    state->acceptor.async_accept(
        asio::make_strand(state->io), [state](beast::error_code error, tcp::socket socket) {
            if (!state->acceptor.is_open()) return;
            if (error) {
                // Out of descriptors: wait for connections to end rather than spin.
                state->pause.expires_after(std::chrono::milliseconds(50));
                state->pause.async_wait([state](beast::error_code) { Accept(state); });
                return;
            }
            Open(state, std::move(socket));
            for (int more = 0; more < kAcceptsAtOnce; ++more) {
                tcp::socket next(asio::make_strand(state->io));
                beast::error_code none;
                state->acceptor.accept(next, none);  // the acceptor is non-blocking (Bind)
                if (none) break;                     // the queue is empty (or out of descriptors)
                Open(state, std::move(next));
            }
            Accept(state);
        });
}

}  // namespace

Front::Front(const Router& router, Limits limits)
    : state_(std::make_shared<State>(router, limits)) {}

Front::~Front() {
    // Whatever Stop posted runs here if Run has already returned (or never ran), so that no
    // handler is left holding the state.
    Stop();
    state_->io.restart();
    state_->io.run();
    state_->handlers.join();
}

bool Front::Bind(const std::string& host, int port) {
    beast::error_code error;
    asio::ip::address address = asio::ip::make_address(host, error);
    if (error) {
        tcp::resolver resolver(state_->io);
        const auto found = resolver.resolve(host, std::to_string(port), error);
        if (error || found.empty()) {
            std::fprintf(stderr, "tavlo-scores: %s: %s\n", host.c_str(), error.message().c_str());
            return false;
        }
        address = found.begin()->endpoint().address();
    }
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    tcp::acceptor& acceptor = state_->acceptor;
    if (acceptor.open(endpoint.protocol(), error) ||
        acceptor.set_option(asio::socket_base::reuse_address(true), error) ||
        acceptor.bind(endpoint, error) ||
        acceptor.listen(asio::socket_base::max_listen_connections, error) ||
        acceptor.non_blocking(true, error)) {
        std::fprintf(stderr, "tavlo-scores: %s:%d: %s\n", host.c_str(), port,
                     error.message().c_str());
        return false;
    }
    return true;
}

int Front::Port() const {
    beast::error_code error;
    return state_->acceptor.local_endpoint(error).port();
}

void Front::Run() {
    Accept(state_);
    std::vector<std::thread> more;
    for (int i = 1; i < state_->limits.ioThreads; ++i) {
        more.emplace_back([this] { state_->io.run(); });
    }
    state_->io.run();
    for (std::thread& t : more) t.join();
}

void Front::Stop() {
    if (state_->stopping.exchange(true)) return;
    asio::post(state_->io, [state = state_] {
        beast::error_code ignored;
        state->acceptor.close(ignored);
        state->pause.cancel();
        std::vector<std::shared_ptr<Session>> open;
        {
            std::lock_guard lock(state->mutex);
            for (auto& [key, weak] : state->sessions) {
                if (auto session = weak.lock()) open.push_back(std::move(session));
            }
        }
        for (auto& session : open) {
            asio::post(session->Executor(), [session] { session->EndIfIdle(); });
        }
    });
}

}  // namespace scores::http
