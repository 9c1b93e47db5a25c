// Each answer is JSON (the page excepted); every refusal carries {"error": ...} written for the
// player in the request's language, since the game and the page show it as it comes, and
// {"code": ...}, the same in every language, for programs.
#include "service.h"

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
#include "words.h"

namespace scores {

namespace {

using nlohmann::json;
using platform::said;

constexpr int kRetryAfterFullQueue = 10;
constexpr int kRetryAfterStore = 5;
// The table's answers, from the copy in memory: a cache in front may keep them as long.
constexpr const char* kTableCaching = "public, max-age=5";
// A verified run whose store fails is stored again for this long before the player is told.
constexpr auto kStoreRetries = std::chrono::seconds(45);
constexpr int kRetryAfterTrouble = 60;

// The refusals of a name's key, said before a play and again by the store.
platform::Said NeedsKey() {
    return said(
        "this name belongs to the player who first sent a run under it: send the name's key with "
        "the run (it came with that first run), or choose another name");
}
platform::Said WrongKey() {
    return said(
        "the key sent with the run is not this name's key; send the one that came with the "
        "name's first run, or choose another name");
}

void Json(http::Response& response, int status, const json& body) {
    response.status = status;
    // Names and the program's words are UTF-8 already; anything else is replaced, not thrown.
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                         "application/json");
}

// A refusal: `code` says which to a program, in every language; the sentence says why to the
// player, in the request's language where the catalogues have it (words.h).
void Refuse(const http::Request& request, http::Response& response, int status, const char* code,
            const platform::Said& reason) {
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

// A row of /api/top's answer.
std::string TopRow(const TableRow& row) {
    const auto number = [](const std::optional<int>& value) {
        return value ? json(*value) : json(nullptr);
    };
    const json fields = {{"rank", row.rank},
                         {"name", row.name},
                         {"score", row.score},
                         {"id", row.id},
                         {"when", IsoTime(row.when)},
                         {"median_ms", number(row.medianMs)},
                         {"fastest_ms", number(row.fastestMs)}};
    return fields.dump(-1, ' ', false, json::error_handler_t::replace);
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

Service::Service(Store& store, ServiceConfig config, VerifyQueue::Work work)
    : store_(store), config_(std::move(config)), tables_(store_, config_.tableTimeToLive, TopRow) {
    PlaysConfig plays;
    plays.workers = config_.workers;
    plays.queue = config_.queue;
    plays.playsPerAddress = config_.playsPerAddress;
    plays.cpuPerAddress = config_.cpuPerAddress;
    plays.cpuWindowSeconds = config_.cpuWindowSeconds;
    plays.leaseSeconds = config_.leaseSeconds;
    plays.version = config_.version;
    if (!work) {
        work = [verifier = config_.verifier](const PlayRequest& play) {
            return Verify(verifier, play);
        };
    }
    const Plays::Keep keep = [this](const QueuedRun& run, const Verification& verified) {
        return StorePlayed(store_, config_.rule, run, verified);
    };
    // Over PostgreSQL the queue and the budgets are the database's, shared with every other
    // server over it; else this process's own.
    plays_ = OpenSharedPlays(store_, plays, work, keep);
    if (!plays_) plays_ = LocalPlays(plays, std::move(work), keep);
    // A body larger than the largest replay is refused unread by the front (http::Limits,
    // 413 in the error handler's words).
    http_.set_error_handler([](const http::Request& request, http::Response& response) {
        if (!response.body.empty()) return;
        switch (response.status) {
            case 413:
                Refuse(request, response, 413, "too-large",
                       said("the replay is larger than 64 KiB"));
                break;
            case 404:
                Refuse(request, response, 404, "not-found", said("there is nothing here"));
                break;
            case 431:
                Refuse(request, response, 431, "headers-too-large",
                       said("the request's headers are too large"));
                break;
            case 503:
                Refuse(request, response, 503, "too-many-connections",
                       said("too many connections from your address; please try again soon"));
                break;
            default:
                Refuse(request, response, response.status, "bad-request",
                       said("the request could not be handled"));
        }
    });
    http_.set_exception_handler(
        [](const http::Request& request, http::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const StoreError& e) {
                // The database is away or slow: a moment later it may well answer.
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
                response.set_header("Retry-After", std::to_string(kRetryAfterStore));
                return Refuse(request, response, 503, "store-away",
                              said("the score table cannot be reached just now; please try again "
                                   "in a moment"));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "tavlo-scores: an unknown error\n");
            }
            Refuse(request, response, 500, "server-error",
                   said("the server could not handle this; please try again later"));
        });
    // The target as it came, not decoded: a %0A in it stays in its line.
    http_.set_logger([this](const http::Request& request, const http::Response& response) {
        std::fprintf(stderr, "%s %s %s %d\n", http::LogEscaped(Address(request)).c_str(),
                     http::LogEscaped(request.method).c_str(),
                     http::LogEscaped(request.target).c_str(), response.status);
    });
    // Every answer under /api/, refusals and errors too, may be read by a page on another site.
    http_.set_post_routing_handler([](const http::Request& request, http::Response& response) {
        if ((request.path.starts_with("/api/") || request.target.starts_with("/api/")) &&
            response.get_header_value("Access-Control-Allow-Origin").empty()) {
            response.set_header("Access-Control-Allow-Origin", "*");
        }
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
        response.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization");
        response.set_header("Access-Control-Max-Age", "86400");
    });
    // The game's page beside the API: its rows' links and its runs sent from the same site.
    if (!config_.site.empty()) {
        http_.set_mount_point("/play", config_.site);
        http_.Get("/play", [](const http::Request&, http::Response& response) {
            response.set_redirect("/play/");
        });
    }

    // The answer from the copy in memory, its rows rendered with it: on the network's thread
    // while the copy is fresh (`tables` null: the store is not asked), else on the pool.
    const auto top = [this](const http::Request& request, http::Response& response,
                            std::shared_ptr<const Tables> tables) {
        std::int64_t limit = 10;
        if (request.has_param("limit")) {
            const auto given = Number(request.get_param_value("limit"), 1, 100);
            if (!given)
                return Refuse(request, response, 400, "bad-limit",
                              said("limit is a number from 1 to 100"));
            limit = *given;
        }
        Board board = Board::Human;
        if (request.has_param("board")) {
            const auto named = BoardNamed(request.get_param_value("board"));
            if (!named)
                return Refuse(request, response, 400, "bad-board",
                              said("board is human or assisted"));
            board = *named;
        }
        if (!tables) tables = tables_.Get();
        const std::vector<std::string>& rows = tables->RenderedOf(board);
        std::string body = "[";
        for (std::size_t i = 0; i < rows.size() && static_cast<std::int64_t>(i) < limit; ++i) {
            if (i > 0) body += ',';
            body += rows[i];
        }
        body += "]\n";
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Cache-Control", kTableCaching);
        response.status = 200;
        response.set_content(std::move(body), "application/json");
    };
    http_.Get(
        "/api/top",
        [top](const http::Request& request, http::Response& response) {
            top(request, response, nullptr);
        },
        [this, top](const http::Request& request, http::Response& response) {
            std::shared_ptr<const Tables> tables = tables_.Fresh();
            if (!tables) return false;
            top(request, response, std::move(tables));
            return true;
        });

    http_.Get(R"(/api/runs/([0-9]{1,18}))", [this](const http::Request& request,
                                                   http::Response& response) {
        const auto id = Number(request.matches[1], 1, INT64_MAX);
        const std::optional<StoredRun> run = id ? store_.Run(*id) : std::nullopt;
        if (!run)
            return Refuse(request, response, 404, "no-such-run", said("there is no such run"));
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

    http_.Get(R"(/api/runs/([0-9]{1,18})/replay)", [this](const http::Request& request,
                                                          http::Response& response) {
        const auto id = Number(request.matches[1], 1, INT64_MAX);
        const std::optional<std::string> replay = id ? store_.Replay(*id) : std::nullopt;
        if (!replay)
            return Refuse(request, response, 404, "no-such-run", said("there is no such run"));
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_header("Content-Disposition",
                            "attachment; filename=\"run-" + std::to_string(*id) + ".replay\"");
        response.set_content(*replay, "text/plain; charset=utf-8");
    });

    http_.Get("/", [this](const http::Request& request, http::Response& response) {
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
    const std::string address = Address(request);
    if (!request.has_param("name")) {
        return Refuse(request, response, 400, "no-name", said("the run needs a name (?name=...)"));
    }
    const CheckedName name = CheckName(request.get_param_value("name"));
    if (!name.error.empty()) {
        // TRANSLATORS: {1} is why the name cannot be used ("the name is empty").
        return Refuse(request, response, 400, "bad-name", said("name refused: {1}", {name.reason}));
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
        case Submission::Verdict::Damaged:
            return Refuse(request, response, 422, "did-not-verify",
                          // TRANSLATORS: {1} is how the run went another way (in English).
                          said("the run did not verify: {1}", {submission.error}));
    }
    // Its length is its cost: a run longer than the table takes is not played at all.
    const std::uint64_t minutes = (submission.endAt + 59999) / 60000;
    if (minutes > static_cast<std::uint64_t>(config_.maxGameMinutes)) {
        return Refuse(request, response, 422, "too-long",
                      // TRANSLATORS: {1} the run's minutes of game time, {2} the most the table
                      // takes.
                      said("this run lasts {1} minutes of game time; the table takes runs of up "
                           "to {2} minutes",
                           {std::to_string(minutes), std::to_string(config_.maxGameMinutes)}));
    }

    // By value where the answer is written after this returns (below).
    const auto accepted = [this, &response](const StoredRun& run, int status) {
        json body = {{"id", run.id}, {"score", run.score}, {"rank", store_.Rank(run.id)}};
        body.update(VerdictFields(run.verdict, config_.rule));
        Json(response, status, body);
    };
    const std::optional<std::string> secret =
        BearerSecret(request.get_header_value("Authorization"));
    if (!secret) {
        return Refuse(request, response, 403, "bad-key",
                      said("the key sent with the run is not in the form the server gives keys"));
    }
    const auto heldElsewhere = [&request, &response, name, accepted](const StoredRun& run) {
        if (run.name == name.name) return accepted(run, 200);
        Refuse(request, response, 409, "under-another-name",
               said("this run is already in the table under another name"));
    };
    // A run is its content, not its bytes: comments, blank lines and line ends do not make
    // another run. (Runs stored before were identified by their bytes: those are found too.)
    const std::string hash = Sha256Hex(submission.canonical);
    if (const std::optional<StoredRun> stored = store_.FindByHash(hash)) {
        return heldElsewhere(*stored);
    }
    if (const std::optional<StoredRun> stored = store_.FindByHash(Sha256Hex(request.body))) {
        return heldElsewhere(*stored);
    }
    // A name is its first player's: the rest is refused before it costs a play.
    if (const std::optional<Holder> holder = store_.HolderOf(name.key, name.skeleton)) {
        if (!holder->sameKey) {
            return Refuse(
                request, response, 409, "name-look-alike",
                // TRANSLATORS: {1} is a player's name.
                said("name refused: it looks like \"{1}\", which is taken", {holder->name}));
        }
        if (holder->name != name.name) {
            return Refuse(request, response, 409, "name-taken",
                          // TRANSLATORS: {1} is a player's name.
                          said("name refused: \"{1}\" is taken", {holder->name}));
        }
        if (!holder->secretHash.empty() && secret->empty()) {
            return Refuse(request, response, 403, "needs-key", NeedsKey());
        }
        if (!holder->secretHash.empty() && !SameHash(SecretHash(*secret), holder->secretHash)) {
            return Refuse(request, response, 403, "wrong-key", WrongKey());
        }
    }

    // The key the name gets if it has none yet: shown to the player once, kept only as a hash
    // (the queue, which another process may work, carries the hash alone).
    const std::string newSecret = NewSecret();
    if (newSecret.empty()) {
        return Refuse(request, response, 500, "no-key-made",
                      said("the server could not make a key; please try later"));
    }
    QueuedRun queued;
    queued.address = address;
    queued.addressKey = AddressKey(address);
    queued.play.replay = request.body;
    queued.play.cpuSeconds = PlayCpuSeconds(config_.verifier, submission.endFrames);
    queued.name = name.name;
    queued.nameKey = name.key;
    queued.skeleton = name.skeleton;
    queued.secretHash = secret->empty() ? "" : SecretHash(*secret);
    queued.newSecretHash = SecretHash(newSecret);
    queued.hash = hash;
    queued.program = submission.program;
    // The play is waited for on no thread: what follows runs once the run is played and stored
    // (by a worker of this process or, over PostgreSQL, of any), and the answer goes out when
    // this step lets the request go (http.h, Later).
    const auto answer = [this, &request, &response, name, heldElsewhere, newSecret,
                         later = response.Later()](const Finished& finished) {
        try {
            switch (finished.step) {
                case Finished::Step::Played:
                    break;
                case Finished::Step::Unreadable:
                    return Refuse(
                        request, response, 422, "over-limits",
                        said("the run could not be verified: {1}",
                             {said("its play wrote reaction lines the server cannot read")}));
                case Finished::Step::StoreAway:
                    throw StoreError("the store stayed away while a verified run waited");
                case Finished::Step::Stored:
                    return Stored(request, response, finished.added, name.name, newSecret,
                                  heldElsewhere);
            }
            const Verification& verified = finished.played;
            switch (verified.outcome) {
                case Verification::Outcome::Verified:
                    break;
                case Verification::Outcome::NoRound:
                    return Refuse(request, response, 422, "no-round",
                                  said("the run finished no round, so it has no score"));
                case Verification::Outcome::DidNotVerify:
                    return Refuse(request, response, 422, "did-not-verify",
                                  said("the run did not verify: {1}", {verified.detail}));
                case Verification::Outcome::OverLimits:
                    return Refuse(request, response, 422, "over-limits",
                                  // TRANSLATORS: {1} is the limit the run went over (in English).
                                  said("the run could not be verified: {1}", {verified.detail}));
                case Verification::Outcome::ServerTrouble:
                    // The server's trouble, not the run's: its cause is in the log, not in the
                    // answer.
                    response.set_header("Retry-After", std::to_string(kRetryAfterTrouble));
                    return Refuse(request, response, 503, "cannot-verify",
                                  said("the server cannot verify runs now; please try later"));
            }
        } catch (const StoreError& e) {
            // Stored again while it failed (StorePlayed), and still away: the player may send it
            // again.
            std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            response.set_header("Retry-After", std::to_string(kRetryAfterStore));
            Refuse(request, response, 503, "store-away",
                   said("the score table cannot be reached just now; please try again in a "
                        "moment"));
        }
    };
    const Plays::Admitted admitted = plays_->Submit(std::move(queued), answer);
    switch (admitted.refusal) {
        case Plays::Refusal::None:
            return;
        case Plays::Refusal::CpuShare:
            response.set_header("Retry-After", std::to_string(admitted.wait));
            return Refuse(request, response, 429, "cpu-share-used",
                          said("your address has used its share of the server's time for "
                               "checking runs; please try again later"));
        case Plays::Refusal::AddressBusy:
            response.set_header("Retry-After", std::to_string(kRetryAfterFullQueue));
            return Refuse(request, response, 429, "address-busy",
                          said("runs from your address are being checked already; please send "
                               "this one when they are answered"));
        case Plays::Refusal::Full:
            response.set_header("Retry-After", std::to_string(kRetryAfterFullQueue));
            return Refuse(request, response, 503, "busy",
                          said("the server is busy checking other runs; please try again soon"));
    }
}

void Service::Stored(const http::Request& request, http::Response& response, const AddResult& added,
                     const std::string& name, const std::string& newSecret,
                     const std::function<void(const StoredRun&)>& heldElsewhere) {
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
            if (added.secretIsNew && added.run.name == name) return stored(added.run);
            return heldElsewhere(added.run);
        case AddResult::Outcome::NameTaken:
            return Refuse(request, response, 409, "name-taken",
                          said("name refused: \"{1}\" is taken", {added.run.name}));
        case AddResult::Outcome::LookAlike:
            return Refuse(
                request, response, 409, "name-look-alike",
                said("name refused: it looks like \"{1}\", which is taken", {added.run.name}));
        case AddResult::Outcome::NoSecret:
            return Refuse(request, response, 403, "needs-key", NeedsKey());
        case AddResult::Outcome::WrongSecret:
            return Refuse(request, response, 403, "wrong-key", WrongKey());
    }
}

Finished StorePlayed(Store& store, const ReactionRule& rule, const QueuedRun& queued,
                     const Verification& verified) {
    Finished finished;
    finished.played = verified;
    finished.played.reactions.clear();
    // Every run that is not stored is logged, with the program's words or the server's trouble.
    static constexpr const char* kOutcomes[] = {"verified", "no round", "did not verify",
                                                "over the limits", "could not be played"};
    if (verified.outcome != Verification::Outcome::Verified) {
        std::fprintf(stderr, "tavlo-scores: a run from %s %s: %s\n",
                     http::LogEscaped(queued.address).c_str(),
                     kOutcomes[static_cast<int>(verified.outcome)], verified.detail.c_str());
        return finished;
    }
    // Judged, not refused: a run a program played stands on the assisted board.
    const std::optional<Verdict> verdict = Judge(verified.reactions, rule);
    if (!verdict) {
        finished.step = Finished::Step::Unreadable;
        return finished;
    }
    NewRun run;
    run.reactions = verified.reactions;
    run.verdict = *verdict;
    run.name = queued.name;
    run.nameKey = queued.nameKey;
    run.skeleton = queued.skeleton;
    run.secretHash = queued.secretHash;
    run.newSecretHash = queued.newSecretHash;
    run.hash = queued.hash;
    run.replay = queued.play.replay;
    run.program = queued.program;
    run.score = verified.score;
    // Verified: the store is tried again while it fails, so that a database away for a moment
    // does not cost the player the play. A store that failed after its commit leaves the run
    // found already on the next try: that is this run, stored now.
    try {
        finished.added = Retried(
            [&] {
                run.when = Now();
                return store.Add(run);
            },
            kStoreRetries);
        finished.step = Finished::Step::Stored;
    } catch (const StoreError& e) {
        std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
        finished.step = Finished::Step::StoreAway;
    }
    return finished;
}

}  // namespace scores
