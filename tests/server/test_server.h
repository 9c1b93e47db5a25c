// What the server's tests share: the golden replays, a configuration whose plays have room
// enough (a sanitizer build too), and a server on a loopback port of its own for one test.
#pragma once

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

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

inline ServiceConfig TestConfig() {
    ServiceConfig config;
    config.verifier.program = std::string(TAVLO_BINARY_DIR) + "/src/tavlo";
    config.verifier.archive = std::string(TAVLO_BINARY_DIR) + "/tavlo.rka";
    config.verifier.scratch = std::filesystem::temp_directory_path().string();
#ifdef TAVLO_SANITIZED
    config.verifier.memoryMiB = 0;
#endif
    config.verifier.cpuSeconds = 300;
    config.verifier.wallSeconds = 600;
    config.version = ProgramVersion(config.verifier);
    config.perMinute = 0;
    return config;
}

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
