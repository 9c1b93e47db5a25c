// Each answer is JSON (the page excepted); every refusal carries {"error": ...} written for the
// player, since the game and the page show it as it comes.
#include "service.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "names.h"
#include "page.h"
#include "submission.h"

namespace scores {

namespace {

using nlohmann::json;

constexpr int kRetryAfterFullQueue = 10;

void Json(http::Response& response, int status, const json& body) {
    response.status = status;
    // Names and the program's words are UTF-8 already; anything else is replaced, not thrown.
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                         "application/json");
}

void Refuse(http::Response& response, int status, const std::string& reason) {
    Json(response, status, {{"error", reason}});
}

std::string IsoTime(std::int64_t unixSeconds) {
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A decimal id or count within range; nullopt for anything else.
std::optional<std::int64_t> Number(const std::string& text, std::int64_t low, std::int64_t high) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

Service::Service(Store& store, ServiceConfig config, VerifyQueue::Work work)
    : store_(store),
      config_(std::move(config)),
      rate_(config_.perMinute),
      queue_(config_.workers, config_.queue,
             work ? std::move(work)
                  : VerifyQueue::Work([verifier = config_.verifier](const std::string& replay) {
                        return Verify(verifier, replay);
                    })) {
    // A body larger than the largest replay is refused unread by the front (http::Limits,
    // 413 in the error handler's words).
    http_.set_error_handler([](const http::Request&, http::Response& response) {
        if (!response.body.empty()) return;
        switch (response.status) {
            case 413:
                Refuse(response, 413, "the replay is larger than 64 KiB");
                break;
            case 404:
                Refuse(response, 404, "there is nothing here");
                break;
            case 431:
                Refuse(response, 431, "the request's headers are too large");
                break;
            case 503:
                Refuse(response, 503,
                       "too many connections from your address; please try again soon");
                break;
            default:
                Refuse(response, response.status, "the request could not be handled");
        }
    });
    http_.set_exception_handler(
        [](const http::Request&, http::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "tavlo-scores: an unknown error\n");
            }
            Refuse(response, 500, "the server could not handle this; please try again later");
        });
    http_.set_logger([this](const http::Request& request, const http::Response& response) {
        std::fprintf(stderr, "%s %s %s %d\n", http::LogEscaped(Address(request)).c_str(),
                     request.method.c_str(), http::LogEscaped(request.target).c_str(),
                     response.status);
    });

    // The game's page may live on another site (docs/scores.md): it sends runs with a body of
    // its own type, which a browser asks about first.
    http_.Post("/api/runs", [this](const http::Request& q, http::Response& r) {
        r.set_header("Access-Control-Allow-Origin", "*");
        Submit(q, r);
    });
    http_.Options("/api/runs", [](const http::Request&, http::Response& response) {
        response.status = 204;
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Access-Control-Allow-Methods", "POST");
        response.set_header("Access-Control-Allow-Headers", "Content-Type");
        response.set_header("Access-Control-Max-Age", "86400");
    });
    // The game's page beside the API: its rows' links and its runs sent from the same site.
    if (!config_.site.empty()) {
        http_.set_mount_point("/play", config_.site);
        http_.Get("/play", [](const http::Request&, http::Response& response) {
            response.set_redirect("/play/");
        });
    }

    http_.Get("/api/top", [this](const http::Request& request, http::Response& response) {
        std::int64_t limit = 10;
        if (request.has_param("limit")) {
            const auto given = Number(request.get_param_value("limit"), 1, 100);
            if (!given) return Refuse(response, 400, "limit is a number from 1 to 100");
            limit = *given;
        }
        json rows = json::array();
        for (const TableRow& row : store_.Top(static_cast<int>(limit))) {
            rows.push_back({{"rank", row.rank},
                            {"name", row.name},
                            {"score", row.score},
                            {"id", row.id},
                            {"when", IsoTime(row.when)}});
        }
        response.set_header("Access-Control-Allow-Origin", "*");
        Json(response, 200, rows);
    });

    http_.Get(R"(/api/runs/([0-9]{1,18}))",
              [this](const http::Request& request, http::Response& response) {
                  const auto id = Number(request.matches[1], 1, INT64_MAX);
                  const std::optional<StoredRun> run = id ? store_.Run(*id) : std::nullopt;
                  if (!run) return Refuse(response, 404, "there is no such run");
                  response.set_header("Access-Control-Allow-Origin", "*");
                  Json(response, 200,
                       {{"id", run->id},
                        {"name", run->name},
                        {"score", run->score},
                        {"rank", store_.Rank(run->id)},
                        {"when", IsoTime(run->when)},
                        {"program", run->program},
                        {"sha256", run->hash},
                        {"replay", "/api/runs/" + std::to_string(run->id) + "/replay"}});
              });

    http_.Get(R"(/api/runs/([0-9]{1,18})/replay)",
              [this](const http::Request& request, http::Response& response) {
                  const auto id = Number(request.matches[1], 1, INT64_MAX);
                  const std::optional<std::string> replay = id ? store_.Replay(*id) : std::nullopt;
                  if (!replay) return Refuse(response, 404, "there is no such run");
                  response.set_header("Access-Control-Allow-Origin", "*");
                  response.set_header("Content-Disposition", "attachment; filename=\"run-" +
                                                                 std::to_string(*id) + ".replay\"");
                  response.set_content(*replay, "text/plain; charset=utf-8");
              });

    http_.Get("/", [this](const http::Request& request, http::Response& response) {
        const std::string language = PageLanguage(request.get_param_value("lang"),
                                                  request.get_header_value("Accept-Language"));
        response.set_header("Vary", "Accept-Language");
        response.set_header("Content-Language", language);
        response.set_content(TablePage(store_.Top(100), language, config_.watch),
                             "text/html; charset=utf-8");
    });
}

std::string Service::Address(const http::Request& request) const {
    if (config_.trustForwarded) {
        std::string forwarded = request.get_header_value("X-Forwarded-For");
        if (!forwarded.empty()) {
            forwarded = forwarded.substr(forwarded.rfind(',') + 1);
            const std::size_t first = forwarded.find_first_not_of(' ');
            if (first != std::string::npos) return forwarded.substr(first);
        }
    }
    return request.remote_addr;
}

void Service::Submit(const http::Request& request, http::Response& response) {
    if (const int wait = rate_.Take(Address(request)); wait > 0) {
        response.set_header("Retry-After", std::to_string(wait));
        return Refuse(response, 429,
                      "too many runs sent from your address; please wait a minute and try again");
    }
    if (!request.has_param("name")) {
        return Refuse(response, 400, "the run needs a name (?name=...)");
    }
    const CheckedName name = CheckName(request.get_param_value("name"));
    if (!name.error.empty()) return Refuse(response, 400, "name refused: " + name.error);

    const Submission submission = ReadSubmission(request.body, config_.version);
    switch (submission.verdict) {
        case Submission::Verdict::Replay:
            break;
        case Submission::Verdict::NotAReplay:
            return Refuse(response, request.body.size() > kMaxReplayBytes ? 413 : 400,
                          submission.error);
        case Submission::Verdict::OtherProgram:
            return Refuse(response, 422, submission.error);
    }

    // By value where the answer may be written after this returns (below).
    const auto accepted = [this, &response](const StoredRun& run, int status) {
        Json(response, status,
             {{"id", run.id}, {"score", run.score}, {"rank", store_.Rank(run.id)}});
    };
    const auto heldElsewhere = [&response, name, accepted](const StoredRun& run) {
        if (run.name == name.name) return accepted(run, 200);
        Refuse(response, 409, "this run is already in the table under another name");
    };
    const std::string hash = Sha256Hex(request.body);
    if (const std::optional<StoredRun> stored = store_.FindByHash(hash)) {
        return heldElsewhere(*stored);
    }
    if (const auto holder = store_.NameOfKey(name.key); holder && *holder != name.name) {
        return Refuse(response, 409, "name refused: \"" + *holder + "\" is taken");
    }

    // The play is waited for on no thread: what follows runs on the queue's worker once it has
    // played, and the answer goes out when this step lets the request go (http.h, Later).
    const auto played = [this, &request, &response, name, submission, hash, accepted, heldElsewhere,
                         later = response.Later()](const Verification& verified) {
        // A store that throws below leaves this answer.
        Refuse(response, 500, "the server could not handle this; please try again later");
        switch (verified.outcome) {
            case Verification::Outcome::Verified:
                break;
            case Verification::Outcome::NoRound:
                return Refuse(response, 422, "the run finished no round, so it has no score");
            case Verification::Outcome::DidNotVerify:
                return Refuse(response, 422, "the run did not verify: " + verified.detail);
            case Verification::Outcome::OverLimits:
                return Refuse(response, 422, "the run could not be verified: " + verified.detail);
            case Verification::Outcome::ServerTrouble:
                std::fprintf(stderr, "tavlo-scores: verification failed: %s\n",
                             verified.detail.c_str());
                return Refuse(response, 500,
                              "the server could not check the run; please try later");
        }

        NewRun run;
        run.name = name.name;
        run.nameKey = name.key;
        run.hash = hash;
        run.replay = request.body;
        run.program = submission.program;
        run.score = verified.score;
        run.when = Now();
        const AddResult added = store_.Add(run);
        switch (added.outcome) {
            case AddResult::Outcome::Added:
                return accepted(added.run, 201);
            case AddResult::Outcome::AlreadyStored:
                return heldElsewhere(added.run);
            case AddResult::Outcome::NameTaken:
                return Refuse(response, 409, "name refused: \"" + added.run.name + "\" is taken");
        }
    };
    std::optional<std::future<Verification>> pending = queue_.Submit(request.body, played);
    if (!pending) {
        response.set_header("Retry-After", std::to_string(kRetryAfterFullQueue));
        return Refuse(response, 503,
                      "the server is busy checking other runs; please try again soon");
    }
}

}  // namespace scores
