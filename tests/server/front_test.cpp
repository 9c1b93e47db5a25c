// The front against clients that misbehave, spoken to over raw sockets so that every byte and
// every pause is the test's: slow, large and many requests, forged log lines, paths out of the
// site, and a submission whose play holds nothing but itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "test_server.h"

namespace scores {
namespace {

using namespace std::chrono_literals;

// A connection from `from` (any 127.0.0.0/8 address is this machine's).
class Connection {
  public:
    Connection(int port, const char* from = "127.0.0.1") {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in self{};
        self.sin_family = AF_INET;
        inet_pton(AF_INET, from, &self.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        const timeval wait{10, 0};  // no answer in 10 s reads as none
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        // Not connected (nothing listens): every read finds the end, so no status.
        if (bind(fd_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
            connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            shutdown(fd_, SHUT_RDWR);
        }
    }
    ~Connection() { close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Send(const std::string& bytes) {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Everything until the server closes (or 10 s pass).
    std::string Rest() {
        std::string got;
        char chunk[4096];
        for (ssize_t n; (n = recv(fd_, chunk, sizeof chunk, 0)) > 0;) got.append(chunk, n);
        return got;
    }
    // True once the server has closed its side (a read finds the end at once).
    bool Closed() {
        char byte;
        return recv(fd_, &byte, 1, MSG_DONTWAIT) == 0;
    }

  private:
    int fd_ = -1;
};

// The status of a raw answer ("HTTP/1.1 431 ..."), 0 for none.
int StatusOf(const std::string& answer) {
    return answer.starts_with("HTTP/1.1 ") ? std::atoi(answer.c_str() + 9) : 0;
}

std::string Ask(int port, const std::string& request, const char* from = "127.0.0.1") {
    Connection connection(port, from);
    connection.Send(request);
    return connection.Rest();
}

class FrontTest : public WithStore {
  protected:
    FrontTest() : WithStore("front") {}
};

TEST_F(FrontTest, ARequestTrickledInPastItsDeadlineIsCut) {
    http::Limits limits;
    limits.request = 1s;
    Running server(*store_, TestConfig(), nullptr, limits);
    // A field every 300 ms: each read is quick, the whole is not.
    Connection slow(server.Port());
    slow.Send("GET /api/top HTTP/1.1\r\nHost: x\r\n");
    bool cut = false;
    for (int i = 0; i < 10 && !cut; ++i) {
        std::this_thread::sleep_for(300ms);
        cut = slow.Closed() || !slow.Send("X-Slow-" + std::to_string(i) + ": 1\r\n");
    }
    EXPECT_TRUE(cut) << "3 s of headers were taken under a deadline of 1 s";
    // The same request sent at once is answered.
    EXPECT_EQ(StatusOf(Ask(server.Port(), "GET /api/top HTTP/1.1\r\nConnection: close\r\n\r\n")),
              200);
}

TEST_F(FrontTest, OversizedRequestsAreRefusedUnread) {
    Running server(*store_, TestConfig());
    std::string manyFields, longField = "X-Long: " + std::string(9000, 'a') + "\r\n";
    for (int i = 0; i < 65; ++i) manyFields += "X-" + std::to_string(i) + ": 1\r\n";
    const std::string post = "POST /api/runs?name=Ana HTTP/1.1\r\nConnection: close\r\n";
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"65 fields", "GET /api/top HTTP/1.1\r\n" + manyFields + "\r\n", 431},
        {"a field of 9000 bytes", "GET /api/top HTTP/1.1\r\n" + longField + "\r\n", 431},
        {"a target of 9000 bytes", "GET /api/top?" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n",
         431},
        {"Content-Length over 64 KiB", post + "Content-Length: 65537\r\n\r\n", 413},
        {"a chunked body over 64 KiB",
         post + "Transfer-Encoding: chunked\r\n\r\n10001\r\n" + std::string(0x10001, '#') +
             "\r\n0\r\n\r\n",
         413},
        {"a target that is no path", "GET http//x HTTP/1.1\r\nConnection: close\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        const std::string answer = Ask(server.Port(), c.request);
        EXPECT_EQ(StatusOf(answer), c.status) << c.what << ": " << answer.substr(0, 200);
        EXPECT_NE(answer.find("\"error\""), std::string::npos) << c.what;
    }
}

TEST_F(FrontTest, OneAddressHoldsAtMostItsConnectionsAndOthersAreServed) {
    http::Limits limits;
    limits.perAddress = 2;
    Running server(*store_, TestConfig(), nullptr, limits);
    const std::string read = "GET /api/top HTTP/1.1\r\nConnection: close\r\n\r\n";
    auto first = std::make_unique<Connection>(server.Port());
    Connection second(server.Port());
    // Both held open and idle; a third from the same address is refused, another address is not.
    const std::string third = Ask(server.Port(), read);
    EXPECT_EQ(StatusOf(third), 503) << third;
    EXPECT_EQ(StatusOf(Ask(server.Port(), read, "127.0.0.2")), 200);
    // The held ones are still served, and once one goes the address may connect again.
    first->Send(read);
    EXPECT_EQ(StatusOf(first->Rest()), 200);
    first.reset();
    std::string again;
    for (int i = 0; i < 100 && StatusOf(again) != 200; ++i) {
        again = Ask(server.Port(), read);  // the first's end reaches the server soon after
        if (StatusOf(again) != 200) std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(StatusOf(again), 200) << again;
}

TEST_F(FrontTest, EachRequestIsOneLogLineWithWhatItSentEscaped) {
    Running server(*store_, TestConfig());
    struct Case {
        const char* target;
        const char* logged;
    };
    const Case cases[] = {
        {"/api/top?x=%0A1.2.3.4%20GET%20/forged%20200",
         "/api/top?x=%0A1.2.3.4%20GET%20/forged%20200"},
        {"/api/top?x=\xC3\xAB", "/api/top?x=\\xC3\\xAB"},
        {"/api/x\\y", "/api/x\\x5Cy"},
    };
    for (const Case& c : cases) {
        ::testing::internal::CaptureStderr();
        const std::string answer = Ask(server.Port(), std::string("GET ") + c.target +
                                                          " HTTP/1.1\r\nConnection: close\r\n\r\n");
        // The log line is written before the answer is sent.
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(StatusOf(answer), 0) << c.target;
        EXPECT_EQ(log, std::string("127.0.0.1 GET ") + c.logged + " " +
                           std::to_string(StatusOf(answer)) + "\n");
    }
    // A raw CR or LF in the target is no request: refused, and still one line.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(StatusOf(Ask(server.Port(), "GET /a\rb HTTP/1.1\r\n\r\n")), 400);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "127.0.0.1 - - 400\n");
}

TEST_F(FrontTest, ASubmissionWaitingForItsPlayHoldsNoRequestThread) {
    ServiceConfig config = TestConfig();
    config.workers = 1;
    http::Limits limits;
    limits.handlerThreads = 1;  // a submission that held it would stop every read
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    auto server = std::make_unique<Running>(
        *store_, config,
        [&](const PlayRequest&) {
            started.set_value();
            released.wait();
            Verification v;
            v.outcome = Verification::Outcome::DidNotVerify;
            v.detail = "held";
            return v;
        },
        limits);
    const int port = server->Port();
    auto submitted = std::async(std::launch::async, [&] {
        return Ask(port,
                   "POST /api/runs?name=Ana HTTP/1.1\r\nConnection: close\r\nContent-Length: " +
                       std::to_string(Golden("wrong").size()) + "\r\n\r\n" + Golden("wrong"));
    });
    started.get_future().wait();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(StatusOf(Ask(port, "GET /api/top HTTP/1.1\r\nConnection: close\r\n\r\n")), 200);
    }
    // Stopped with the play under way: no new connection is taken, and the submission is
    // still answered once its play ends.
    auto stopped = std::async(std::launch::async, [&] { server.reset(); });
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(StatusOf(Ask(port, "GET /api/top HTTP/1.1\r\n\r\n")), 0);
    release.set_value();
    const std::string answer = submitted.get();
    EXPECT_EQ(StatusOf(answer), 422) << answer;
    EXPECT_NE(answer.find("did not verify: held"), std::string::npos) << answer;
    stopped.get();
}

TEST_F(FrontTest, TheSiteServesItsFilesAndNothingOutsideIt) {
    const std::filesystem::path site = folder_ / "site";
    std::filesystem::create_directories(site / "inner");
    std::ofstream(site / "index.html") << "<title>page</title>";
    std::ofstream(site / "tavlo.wasm") << "\0asm";
    std::ofstream(site / "manifest.webmanifest") << "{}";
    std::ofstream(site / "inner" / "a.svg") << "<svg/>";
    std::ofstream(folder_ / "secret.txt") << "secret";
    std::filesystem::create_symlink(folder_ / "secret.txt", site / "out.txt");
    std::filesystem::create_symlink(folder_, site / "up");
    std::filesystem::create_symlink("inner/a.svg", site / "in.svg");
    ServiceConfig config = TestConfig();
    config.site = site.string();
    Running server(*store_, config);

    struct Case {
        const char* path;
        int status;
        const char* type;  // Content-Type, where the file is served
    };
    const Case cases[] = {
        {"/play/", 200, "text/html; charset=utf-8"},
        {"/play/tavlo.wasm", 200, "application/wasm"},
        {"/play/manifest.webmanifest", 200, "application/manifest+json"},
        {"/play/inner/a.svg", 200, "image/svg+xml"},
        {"/play/in.svg", 200, "image/svg+xml"},  // a link that stays inside
        {"/play", 302, nullptr},
        {"/play/../secret.txt", 404, nullptr},
        {"/play/%2e%2e/secret.txt", 404, nullptr},
        {"/play/inner/..%2F..%2Fsecret.txt", 404, nullptr},
        {"/play/out.txt", 404, nullptr},
        {"/play/up/secret.txt", 404, nullptr},
        {"/play/%2Fetc%2Fpasswd", 404, nullptr},
        {"/play/missing.js", 404, nullptr},
    };
    for (const Case& c : cases) {
        const std::string answer = Ask(
            server.Port(), std::string("GET ") + c.path + " HTTP/1.1\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(StatusOf(answer), c.status) << c.path;
        EXPECT_EQ(answer.find("secret\r\n"), std::string::npos) << c.path;
        EXPECT_EQ(answer.find("\r\n\r\nsecret"), std::string::npos) << c.path;
        if (c.type) {
            EXPECT_NE(answer.find(std::string("Content-Type: ") + c.type + "\r\n"),
                      std::string::npos)
                << c.path << ": " << answer.substr(0, 300);
        }
    }
    EXPECT_NE(Ask(server.Port(), "GET /play HTTP/1.1\r\nConnection: close\r\n\r\n")
                  .find("Location: /play/\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace scores
