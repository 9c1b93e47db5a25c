// Each answer is JSON (the page excepted); every refusal carries {"error": ...} written for the
// player, since the game and the page show it as it comes.
#include "service.h"

#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include <nlohmann/json.hpp>

#include "names.h"
#include "page.h"
#include "secrets.h"
#include "submission.h"

namespace scores {

namespace {

using nlohmann::json;

constexpr int kRetryAfterFullQueue = 10;
constexpr int kRetryAfterStore = 5;
// The table's answers, from the copy in memory: a cache in front may keep them as long.
constexpr const char* kTableCaching = "public, max-age=5";
constexpr const char* kNeedsKey =
    "this name belongs to the player who first sent a run under it: send the name's key with the "
    "run (it came with that first run), or choose another name";
constexpr const char* kWrongKey =
    "the key sent with the run is not this name's key; send the one that came with the name's "
    "first run, or choose another name";
// A verified run whose store fails is stored again for this long before the player is told.
constexpr auto kStoreRetries = std::chrono::seconds(45);

void Json(httplib::Response& response, int status, const json& body) {
    response.status = status;
    // Names and the program's words are UTF-8 already; anything else is replaced, not thrown.
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                         "application/json");
}

void Refuse(httplib::Response& response, int status, const std::string& reason) {
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

// The run's board, its reaction times and why it stands there, as the answers carry them.
json VerdictFields(const Verdict& verdict, const ReactionRule& rule) {
    const Reactions& r = verdict.reactions;
    const auto number = [](const std::optional<int>& value) {
        return value ? json(*value) : json(nullptr);
    };
    return {{"board", BoardName(verdict.board)},
            {"reactions",
             {{"hits", r.hits},
              {"median_ms", number(r.medianMs)},
              {"fastest_ms", number(r.fastestMs)},
              {"unseen", r.unseen}}},
            {"why", WhyOnBoard(r, rule)}};
}

// A request's target as a log line may hold it: bytes outside printable ASCII, and the
// backslash, as \xHH, so that a request can never add a line of its own.
std::string ForLog(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte >= 0x7f || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

// `store` called again while it throws StoreError, pausing longer each time, until `limit`;
// then the error is thrown on.
template <typename Call>
auto Retried(Call store, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(250);
    for (;;) {
        try {
            return store();
        } catch (const StoreError& e) {
            if (std::chrono::steady_clock::now() + pause > end) throw;
            std::fprintf(stderr, "tavlo-scores: %s (trying again)\n", e.what());
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(4000));
    }
}

}  // namespace

std::optional<Verdict> Judge(const std::string& lines, const ReactionRule& rule) {
    const std::optional<Reactions> reactions = Summarise(lines, rule);
    if (!reactions) return std::nullopt;
    return Verdict{BoardFor(*reactions, rule), *reactions};
}

int Rejudge(Store& store, const ReactionRule& rule) {
    int moved = 0;
    for (const auto& [id, lines] : store.ReactionLines()) {
        const std::optional<Verdict> verdict = Judge(lines, rule);
        const std::optional<StoredRun> before = store.Run(id);
        if (!verdict || !before) continue;
        if (store.SetVerdict(id, *verdict) && before->verdict.board != verdict->board) ++moved;
    }
    return moved;
}

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
      tables_(store_, config_.tableTimeToLive),
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
    // An answer's headers and body go out as two writes: without this, a kept-alive reader waits
    // for its own delayed ACK (40 ms) before the body comes.
    http_.set_tcp_nodelay(true);

    http_.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return;
        switch (response.status) {
            case 413:
                Refuse(response, 413, "the replay is larger than 64 KiB");
                break;
            case 404:
                Refuse(response, 404, "there is nothing here");
                break;
            default:
                Refuse(response, response.status, "the request could not be handled");
        }
    });
    http_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const StoreError& e) {
                // The database is away or slow: a moment later it may well answer.
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
                response.set_header("Retry-After", std::to_string(kRetryAfterStore));
                return Refuse(response, 503,
                              "the score table cannot be reached just now; please try again in "
                              "a moment");
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "tavlo-scores: an unknown error\n");
            }
            Refuse(response, 500, "the server could not handle this; please try again later");
        });
    // The target as it came, not decoded: a %0A in it stays in its line.
    http_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        std::fprintf(stderr, "%s %s %s %d\n", ForLog(Address(request)).c_str(),
                     ForLog(request.method).c_str(), ForLog(request.target).c_str(),
                     response.status);
    });
    // Every answer under /api/, refusals and errors too, may be read by a page on another site.
    http_.set_post_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            if ((request.path.starts_with("/api/") || request.target.starts_with("/api/")) &&
                !response.has_header("Access-Control-Allow-Origin")) {
                response.set_header("Access-Control-Allow-Origin", "*");
            }
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
        response.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization");
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
            if (!given) return Refuse(response, 400, "limit is a number from 1 to 100");
            limit = *given;
        }
        Board board = Board::Human;
        if (request.has_param("board")) {
            const auto named = BoardNamed(request.get_param_value("board"));
            if (!named) return Refuse(response, 400, "board is human or assisted");
            board = *named;
        }
        json rows = json::array();
        const std::shared_ptr<const Tables> tables = tables_.Get();
        const std::vector<TableRow>& top = tables->Of(board);
        for (const TableRow& row : top) {
            if (static_cast<std::int64_t>(rows.size()) == limit) break;
            const auto number = [](const std::optional<int>& value) {
                return value ? json(*value) : json(nullptr);
            };
            rows.push_back({{"rank", row.rank},
                            {"name", row.name},
                            {"score", row.score},
                            {"id", row.id},
                            {"when", IsoTime(row.when)},
                            {"median_ms", number(row.medianMs)},
                            {"fastest_ms", number(row.fastestMs)}});
        }
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Cache-Control", kTableCaching);
        Json(response, 200, rows);
    });

    http_.Get(R"(/api/runs/([0-9]{1,18}))",
              [this](const httplib::Request& request, httplib::Response& response) {
                  const auto id = Number(request.matches[1], 1, INT64_MAX);
                  const std::optional<StoredRun> run = id ? store_.Run(*id) : std::nullopt;
                  if (!run) return Refuse(response, 404, "there is no such run");
                  response.set_header("Access-Control-Allow-Origin", "*");
                  json facts = {{"id", run->id},
                                {"name", run->name},
                                {"score", run->score},
                                {"rank", store_.Rank(run->id)},
                                {"when", IsoTime(run->when)},
                                {"program", run->program},
                                {"sha256", run->hash},
                                {"replay", "/api/runs/" + std::to_string(run->id) + "/replay"}};
                  facts.update(VerdictFields(run->verdict, config_.rule));
                  Json(response, 200, facts);
              });

    http_.Get(R"(/api/runs/([0-9]{1,18})/replay)",
              [this](const httplib::Request& request, httplib::Response& response) {
                  const auto id = Number(request.matches[1], 1, INT64_MAX);
                  const std::optional<std::string> replay = id ? store_.Replay(*id) : std::nullopt;
                  if (!replay) return Refuse(response, 404, "there is no such run");
                  response.set_header("Access-Control-Allow-Origin", "*");
                  response.set_header("Content-Disposition", "attachment; filename=\"run-" +
                                                                 std::to_string(*id) + ".replay\"");
                  response.set_content(*replay, "text/plain; charset=utf-8");
              });

    http_.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string language = PageLanguage(request.get_param_value("lang"),
                                                  request.get_header_value("Accept-Language"));
        response.set_header("Vary", "Accept-Language");
        response.set_header("Content-Language", language);
        const std::shared_ptr<const Tables> tables = tables_.Get();
        response.set_header("Cache-Control", kTableCaching);
        response.set_content(TablePage(tables->human, tables->assisted, language, config_.watch),
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

    const auto accepted = [&](const StoredRun& run, int status) {
        json body = {{"id", run.id}, {"score", run.score}, {"rank", store_.Rank(run.id)}};
        body.update(VerdictFields(run.verdict, config_.rule));
        Json(response, status, body);
    };
    const std::optional<std::string> secret =
        BearerSecret(request.get_header_value("Authorization"));
    if (!secret) {
        return Refuse(response, 403,
                      "the key sent with the run is not in the form the server gives keys");
    }
    const auto heldElsewhere = [&](const StoredRun& run) {
        if (run.name == name.name) return accepted(run, 200);
        Refuse(response, 409, "this run is already in the table under another name");
    };
    const std::string hash = Sha256Hex(request.body);
    if (const std::optional<StoredRun> stored = store_.FindByHash(hash)) {
        return heldElsewhere(*stored);
    }
    // A name is its first player's: the rest is refused before it costs a play.
    if (const std::optional<Holder> holder = store_.HolderOf(name.key, name.skeleton)) {
        if (!holder->sameKey) {
            return Refuse(response, 409,
                          "name refused: it looks like \"" + holder->name + "\", which is taken");
        }
        if (holder->name != name.name) {
            return Refuse(response, 409, "name refused: \"" + holder->name + "\" is taken");
        }
        if (!holder->secretHash.empty() && secret->empty()) {
            return Refuse(response, 403, kNeedsKey);
        }
        if (!holder->secretHash.empty() && !SameHash(SecretHash(*secret), holder->secretHash)) {
            return Refuse(response, 403, kWrongKey);
        }
    }

    std::optional<std::future<Verification>> pending = queue_.Submit(request.body);
    if (!pending) {
        response.set_header("Retry-After", std::to_string(kRetryAfterFullQueue));
        return Refuse(response, 503,
                      "the server is busy checking other runs; please try again soon");
    }
    const Verification verified = pending->get();
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
            return Refuse(response, 500, "the server could not check the run; please try later");
    }

    // Judged, not refused: a run a program played stands on the assisted board.
    const std::optional<Verdict> verdict = Judge(verified.reactions, config_.rule);
    if (!verdict) {
        return Refuse(response, 422,
                      "the run could not be verified: its play wrote reaction lines the server "
                      "cannot read");
    }
    // The key the name gets if it has none yet: shown to the player once, kept here only as a
    // hash.
    const std::string newSecret = NewSecret();
    if (newSecret.empty()) {
        return Refuse(response, 500, "the server could not make a key; please try later");
    }
    NewRun run;
    run.reactions = verified.reactions;
    run.verdict = *verdict;
    run.name = name.name;
    run.nameKey = name.key;
    run.skeleton = name.skeleton;
    run.secretHash = secret->empty() ? "" : SecretHash(*secret);
    run.newSecretHash = SecretHash(newSecret);
    run.hash = hash;
    run.replay = request.body;
    run.program = submission.program;
    run.score = verified.score;
    run.when = Now();
    // Verified: the store is tried again while it fails, so that a database away for a moment
    // does not cost the player the play. A store that failed after its commit leaves the run
    // found already on the next try: that is this run, stored now.
    bool retried = false;
    const AddResult added = Retried(
        [&] {
            if (retried) run.when = Now();
            retried = true;
            return store_.Add(run);
        },
        kStoreRetries);
    // A run found stored (a retry whose first try committed) may have been a new best then.
    if (added.newBest || added.outcome == AddResult::Outcome::AlreadyStored) {
        tables_.Invalidate();
    }
    const auto stored = [&](const StoredRun& stored) {
        // The rank is tried again too: the run is stored, and the key must reach its player.
        int rank = 0;
        try {
            rank = Retried([&] { return store_.Rank(stored.id); }, std::chrono::seconds(10));
        } catch (const StoreError&) {
        }
        json body = {{"id", stored.id}, {"score", stored.score}, {"rank", rank}};
        body.update(VerdictFields(stored.verdict, config_.rule));
        if (added.secretIsNew) body["key"] = newSecret;
        Json(response, 201, body);
    };
    switch (added.outcome) {
        case AddResult::Outcome::Added:
            return stored(added.run);
        case AddResult::Outcome::AlreadyStored:
            if (added.secretIsNew && added.run.name == name.name) return stored(added.run);
            return heldElsewhere(added.run);
        case AddResult::Outcome::NameTaken:
            return Refuse(response, 409, "name refused: \"" + added.run.name + "\" is taken");
        case AddResult::Outcome::LookAlike:
            return Refuse(response, 409,
                          "name refused: it looks like \"" + added.run.name + "\", which is taken");
        case AddResult::Outcome::NoSecret:
            return Refuse(response, 403, kNeedsKey);
        case AddResult::Outcome::WrongSecret:
            return Refuse(response, 403, kWrongKey);
    }
}

}  // namespace scores
