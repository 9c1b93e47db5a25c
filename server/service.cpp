// Each answer is JSON (the page excepted); every refusal carries {"error": ...} written for the
// player in the request's language, since the game and the page show it as it comes, and
// {"code": ...}, the same in every language, for programs.
#include "service.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "names.h"
#include "page.h"
#include "submission.h"
#include "words.h"

namespace scores {

namespace {

using nlohmann::json;
using platform::said;

constexpr int kRetryAfterFullQueue = 10;

void Json(httplib::Response& response, int status, const json& body) {
    response.status = status;
    // Names and the program's words are UTF-8 already; anything else is replaced, not thrown.
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                         "application/json");
}

// A refusal: `code` says which to a program, in every language; the sentence says why to the
// player, in the request's language where the catalogues have it (words.h).
void Refuse(const httplib::Request& request, httplib::Response& response, int status,
            const char* code, const platform::Said& reason) {
    const Words& words = ServerWords();
    const std::string language = words.Choose("", request.get_header_value("Accept-Language"));
    response.set_header("Vary", "Accept-Language");
    response.set_header("Content-Language", PageTag(language));
    Json(response, status, {{"error", reason.In(words.For(language))}, {"code", code}});
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
    // Readers are not kept waiting behind submissions that wait for their plays.
    http_.new_task_queue = [] { return new httplib::ThreadPool(32); };
    // A body larger than the largest replay is refused unread (413, by the error handler's
    // words).
    http_.set_payload_max_length(kMaxReplayBytes);
    http_.set_read_timeout(10);
    http_.set_write_timeout(10);

    http_.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty()) return;
        switch (response.status) {
            case 413:
                Refuse(request, response, 413, "too-large",
                       said("the replay is larger than 64 KiB"));
                break;
            case 404:
                Refuse(request, response, 404, "not-found", said("there is nothing here"));
                break;
            default:
                Refuse(request, response, response.status, "bad-request",
                       said("the request could not be handled"));
        }
    });
    http_.set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "tavlo-scores: an unknown error\n");
            }
            Refuse(request, response, 500, "server-error",
                   said("the server could not handle this; please try again later"));
        });
    http_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        std::fprintf(stderr, "%s %s %s %d\n", Address(request).c_str(), request.method.c_str(),
                     request.path.c_str(), response.status);
    });

    // The game's page may live on another site (docs/scores.md): it sends runs with a body of
    // its own type, which a browser asks about first.
    http_.Post("/api/runs", [this](const httplib::Request& q, httplib::Response& r) {
        r.set_header("Access-Control-Allow-Origin", "*");
        Submit(q, r);
    });
    http_.Options("/api/runs", [](const httplib::Request&, httplib::Response& response) {
        response.status = 204;
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Access-Control-Allow-Methods", "POST");
        response.set_header("Access-Control-Allow-Headers", "Content-Type");
        response.set_header("Access-Control-Max-Age", "86400");
    });
    // The game's page beside the API: its rows' links and its runs sent from the same site.
    if (!config_.site.empty()) {
        http_.set_mount_point("/play", config_.site);
        http_.Get("/play", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/play/");
        });
    }

    http_.Get("/api/top", [this](const httplib::Request& request, httplib::Response& response) {
        std::int64_t limit = 10;
        if (request.has_param("limit")) {
            const auto given = Number(request.get_param_value("limit"), 1, 100);
            if (!given)
                return Refuse(request, response, 400, "bad-limit",
                              said("limit is a number from 1 to 100"));
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

    http_.Get(R"(/api/runs/([0-9]{1,18}))", [this](const httplib::Request& request,
                                                   httplib::Response& response) {
        const auto id = Number(request.matches[1], 1, INT64_MAX);
        const std::optional<StoredRun> run = id ? store_.Run(*id) : std::nullopt;
        if (!run) {
            return Refuse(request, response, 404, "no-such-run", said("there is no such run"));
        }
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

    http_.Get(R"(/api/runs/([0-9]{1,18})/replay)", [this](const httplib::Request& request,
                                                          httplib::Response& response) {
        const auto id = Number(request.matches[1], 1, INT64_MAX);
        const std::optional<std::string> replay = id ? store_.Replay(*id) : std::nullopt;
        if (!replay) {
            return Refuse(request, response, 404, "no-such-run", said("there is no such run"));
        }
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Content-Disposition",
                            "attachment; filename=\"run-" + std::to_string(*id) + ".replay\"");
        response.set_content(*replay, "text/plain; charset=utf-8");
    });

    http_.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string language = PageLanguage(request.get_param_value("lang"),
                                                  request.get_header_value("Accept-Language"));
        response.set_header("Vary", "Accept-Language");
        response.set_header("Content-Language", language);
        response.set_content(TablePage(store_.Top(100), language, config_.watch),
                             "text/html; charset=utf-8");
    });
}

std::string Service::Address(const httplib::Request& request) const {
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

void Service::Submit(const httplib::Request& request, httplib::Response& response) {
    if (const int wait = rate_.Take(Address(request)); wait > 0) {
        response.set_header("Retry-After", std::to_string(wait));
        return Refuse(
            request, response, 429, "too-many-runs",
            said("too many runs sent from your address; please wait a minute and try again"));
    }
    if (!request.has_param("name")) {
        return Refuse(request, response, 400, "no-name", said("the run needs a name (?name=...)"));
    }
    const CheckedName name = CheckName(request.get_param_value("name"));
    if (!name.error.empty()) {
        // TRANSLATORS: {1} is why the name cannot be used (in English).
        return Refuse(request, response, 400, "bad-name", said("name refused: {1}", {name.error}));
    }

    const Submission submission = ReadSubmission(request.body, config_.version);
    switch (submission.verdict) {
        case Submission::Verdict::Replay:
            break;
        case Submission::Verdict::NotAReplay:
            return Refuse(request, response, request.body.size() > kMaxReplayBytes ? 413 : 400,
                          "not-a-replay", platform::Said(submission.error));
        case Submission::Verdict::OtherProgram:
            return Refuse(request, response, 422, "other-program",
                          platform::Said(submission.error));
    }

    const auto accepted = [&](const StoredRun& run, int status) {
        Json(response, status,
             {{"id", run.id}, {"score", run.score}, {"rank", store_.Rank(run.id)}});
    };
    const auto heldElsewhere = [&](const StoredRun& run) {
        if (run.name == name.name) return accepted(run, 200);
        Refuse(request, response, 409, "under-another-name",
               said("this run is already in the table under another name"));
    };
    const std::string hash = Sha256Hex(request.body);
    if (const std::optional<StoredRun> stored = store_.FindByHash(hash)) {
        return heldElsewhere(*stored);
    }
    if (const auto holder = store_.NameOfKey(name.key); holder && *holder != name.name) {
        return Refuse(request, response, 409, "name-taken",
                      // TRANSLATORS: {1} is a player's name.
                      said("name refused: \"{1}\" is taken", {*holder}));
    }

    std::optional<std::future<Verification>> pending = queue_.Submit(request.body);
    if (!pending) {
        response.set_header("Retry-After", std::to_string(kRetryAfterFullQueue));
        return Refuse(request, response, 503, "busy",
                      said("the server is busy checking other runs; please try again soon"));
    }
    const Verification verified = pending->get();
    switch (verified.outcome) {
        case Verification::Outcome::Verified:
            break;
        case Verification::Outcome::NoRound:
            return Refuse(request, response, 422, "no-round",
                          said("the run finished no round, so it has no score"));
        case Verification::Outcome::DidNotVerify:
            return Refuse(request, response, 422, "did-not-verify",
                          // TRANSLATORS: {1} is how the run went another way (in English).
                          said("the run did not verify: {1}", {verified.detail}));
        case Verification::Outcome::OverLimits:
            return Refuse(request, response, 422, "over-limits",
                          // TRANSLATORS: {1} is the limit the run went over (in English).
                          said("the run could not be verified: {1}", {verified.detail}));
        case Verification::Outcome::ServerTrouble:
            std::fprintf(stderr, "tavlo-scores: verification failed: %s\n",
                         verified.detail.c_str());
            return Refuse(request, response, 500, "cannot-verify",
                          said("the server could not check the run; please try later"));
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
            return Refuse(request, response, 409, "name-taken",
                          said("name refused: \"{1}\" is taken", {added.run.name}));
    }
}

}  // namespace scores
