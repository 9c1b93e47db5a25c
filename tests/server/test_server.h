// What the server's tests share: the golden replays, a configuration whose plays have room
// enough (a sanitizer build too), a test's own SQLite store, and a server on a loopback port
// of its own for one test.
#pragma once

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "front.h"
#include "service.h"
#include "store.h"

namespace scores {

using nlohmann::json;

inline std::string ReadFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

inline std::string Golden(const std::string& name, const char* ending = ".replay") {
    return ReadFile(std::string(TAVLO_SOURCE_DIR) + "/tests/e2e/replays/" + name + ending);
}

// Golden replay `name` cut `k` ms before its end (k >= 1; 1 is the end itself, as a cut): the
// same run up to there, so it verifies, but another run by content.
inline std::string GoldenVariant(const std::string& name, int k) {
    std::string replay = Golden(name);
    const std::size_t last = replay.rfind('\n', replay.size() - 2) + 1;
    const std::uint64_t end = std::stoull(replay.substr(last));
    const std::uint64_t at = end - static_cast<std::uint64_t>(k - 1);
    std::istringstream frames(Golden(name, ".frames"));
    std::uint64_t shown = 0;
    std::string index;
    for (std::uint64_t ms; frames >> index >> ms >> std::ws && std::getline(frames, index);) {
        if (ms <= at) ++shown;
    }
    return replay.substr(0, last) + std::to_string(at) + " cut @" + std::to_string(shown) + "\n";
}

// A replay of the golden round's header whose end lies `ms` ahead, with no event: it plays the
// title until then (or until its pictures run out).
inline std::string EndAhead(std::uint64_t ms, std::uint64_t pictures,
                            const std::string& extra = "") {
    std::istringstream golden(Golden("round"));
    std::string replay;
    for (std::string line; std::getline(golden, line) && !std::isdigit(line[0]);) {
        replay += line + "\n";  // the header: up to the first event
    }
    return replay + extra + std::to_string(ms) + " end @" + std::to_string(pictures) + "\n";
}

// Every byte but letters and digits as %XX, as a client's URL would carry it.
inline std::string Encoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

// The header a later run under a name carries: the key its first run was given.
inline httplib::Headers Bearer(const std::string& key) {
    return {{"Authorization", "Bearer " + key}};
}

inline ServiceConfig TestConfig() {
    ServiceConfig config;
    config.verifier.program = std::string(TAVLO_BINARY_DIR) + "/src/tavlo";
    config.verifier.archive = std::string(TAVLO_BINARY_DIR) + "/tavlo.rka";
    config.verifier.scratch = std::filesystem::temp_directory_path().string();
#ifdef TAVLO_SANITIZED
    config.verifier.memoryMiB = 0;
#endif
    // Room for a slow (sanitizer) build: the limits' own tests set theirs.
    config.verifier.startSeconds = 30;
    config.verifier.microsPerPicture = 20000;
    config.verifier.cpuSeconds = 300;
    config.verifier.wallSeconds = 600;
    config.version = ProgramVersion(config.verifier);
    config.cpuPerAddress = 0;
    config.playsPerAddress = 0;
    return config;
}

// A test with a folder of its own under the system's temporary one ("tavlo-scores-NAME-PID")
// and an SQLite store in it, both gone after the test.
class WithStore : public ::testing::Test {
  protected:
    explicit WithStore(const char* name) : name_(name) {}
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tavlo-scores-" + name_ + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        store_ = OpenSqliteStore((folder_ / "scores.sqlite").string());
    }
    void TearDown() override {
        store_.reset();
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    std::filesystem::path folder_;
    std::unique_ptr<Store> store_;

  private:
    std::string name_;
};

// A server on its own port for one test, over the store it is given.
class Running {
  public:
    Running(Store& store, ServiceConfig config, VerifyQueue::Work work = nullptr,
            http::Limits limits = {})
        : service_(store, std::move(config), std::move(work)), front_(service_.Http(), limits) {
        if (!front_.Bind("127.0.0.1", 0)) std::abort();
        port_ = front_.Port();
        thread_ = std::thread([this] { front_.Run(); });
    }
    ~Running() {
        front_.Stop();
        thread_.join();
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    int Port() const { return port_; }

    struct Answer {
        int status = 0;
        json body;
        std::string raw;
        std::string retryAfter;
        std::string allowOrigin;   // Access-Control-Allow-Origin
        std::string allowHeaders;  // Access-Control-Allow-Headers
    };
    Answer Post(const std::string& name, const std::string& body,
                const httplib::Headers& headers = {}) {
        return Take(Client().Post(("/api/runs?name=" + Encoded(name)).c_str(), headers, body,
                                  "application/octet-stream"));
    }
    Answer Get(const std::string& path, const httplib::Headers& headers = {}) {
        return Take(Client().Get(path.c_str(), headers));
    }
    Answer Options(const std::string& path) { return Take(Client().Options(path.c_str())); }

  private:
    // A client a request: one httplib client does not send two requests at once.
    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(600);
        return client;
    }

    static Answer Take(const httplib::Result& result) {
        Answer answer;
        if (!result) return answer;
        answer.status = result->status;
        answer.raw = result->body;
        answer.body = json::parse(result->body, nullptr, false);
        answer.retryAfter = result->get_header_value("Retry-After");
        answer.allowOrigin = result->get_header_value("Access-Control-Allow-Origin");
        answer.allowHeaders = result->get_header_value("Access-Control-Allow-Headers");
        return answer;
    }

    Service service_;
    http::Front front_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace scores
