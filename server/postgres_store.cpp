// The PostgreSQL store, through libpq: a few connections shared by the server's threads, every
// statement with its parameters apart from its text, migrations under an advisory lock so that
// two servers starting together do not both apply one. A database that goes away costs a
// request at most its statement's time: connections have connect, statement and keep-alive
// limits, a broken one is made again by a thread of the store's own (never in a request's), and
// a request waits for a free connection only so long.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include <libpq-fe.h>

#include "names.h"
#include "plays.h"
#include "rate_limit.h"
#include "store.h"
#include "store_sql.h"

namespace scores {

namespace {

constexpr int kConnections = 4;
constexpr long kMigrationLock = 0x7461766c6f;  // "tavlo"
// How long a request waits for a free connection before it is answered 503.
constexpr auto kPoolWait = std::chrono::seconds(5);
// Between two attempts to reach a database that is away.
constexpr auto kReconnectPause = std::chrono::milliseconds(500);

// What every connection asks, before the caller's own conninfo (whose settings win): a
// connection made or refused in 10 s, a statement ended after 15 s, and a peer that vanished
// (a machine or network gone, no FIN) noticed within a minute by TCP keep-alives and the TCP
// user timeout.
constexpr const char* kDefaultKeywords[] = {
    "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
    "keepalives_count", "tcp_user_timeout", "options",         "application_name"};
constexpr const char* kDefaultValues[] = {
    "10", "1", "30", "10", "3", "60000", "-c statement_timeout=15000", "tavlo-scores"};
static_assert(std::size(kDefaultKeywords) == std::size(kDefaultValues));

// libpq's words on one line of the log.
std::string OneLine(const char* message) {
    std::string line;
    for (const char* c = message; *c; ++c) {
        if (*c == '\n' || *c == '\t' || *c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += *c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

PGconn* Connect(const std::string& conninfo) {
    std::vector<const char*> keywords(std::begin(kDefaultKeywords), std::end(kDefaultKeywords));
    std::vector<const char*> values(std::begin(kDefaultValues), std::end(kDefaultValues));
    // dbname is expanded as a whole conninfo or URI; later settings override earlier ones.
    keywords.push_back("dbname");
    values.push_back(conninfo.c_str());
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

class Result {
  public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(Result&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result& operator=(Result&&) = delete;
    int Rows() const { return PQntuples(result_); }
    std::string Text(int row, int column) const {
        return std::string(PQgetvalue(result_, row, column),
                           static_cast<std::size_t>(PQgetlength(result_, row, column)));
    }
    std::int64_t Int(int row, int column) const {
        return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
    }
    std::optional<int> MaybeInt(int row, int column) const {
        if (PQgetisnull(result_, row, column)) return std::nullopt;
        return static_cast<int>(Int(row, column));
    }

  private:
    PGresult* result_;
};

class Connection {
  public:
    explicit Connection(const std::string& conninfo) : conn_(Connect(conninfo)) {
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string message = conn_ ? OneLine(PQerrorMessage(conn_)) : "out of memory";
            PQfinish(conn_);
            throw StoreError("postgresql: " + message);
        }
        // The server's notices ("relation already exists, skipping") are not the log's business.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
    }
    ~Connection() { PQfinish(conn_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Parameters as text, except the one at `binaryParam`, sent as bytes; results as text, or
    // as bytes with `binaryResult`.
    // Empty parameters at the places `nulls` lists are sent as NULL.
    Result Run(const char* statement, const std::vector<std::string>& params = {},
               int binaryParam = -1, bool binaryResult = false,
               const std::vector<int>& nulls = {}) {
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        for (std::size_t i = 0; i < params.size(); ++i) {
            const bool null = params[i].empty() && std::find(nulls.begin(), nulls.end(),
                                                             static_cast<int>(i)) != nulls.end();
            values.push_back(null ? nullptr : params[i].data());
            lengths.push_back(static_cast<int>(params[i].size()));
            formats.push_back(static_cast<int>(i) == binaryParam ? 1 : 0);
        }
        PGresult* raw =
            PQexecParams(conn_, statement, static_cast<int>(params.size()), nullptr, values.data(),
                         lengths.data(), formats.data(), binaryResult ? 1 : 0);
        Result result(raw);
        const ExecStatusType status = PQresultStatus(raw);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            throw StoreError("postgresql: " + OneLine(PQerrorMessage(conn_)));
        }
        return result;
    }
    // Several statements in one text (migrations); no parameters.
    void Script(const char* statements) {
        PGresult* raw = PQexec(conn_, statements);
        Result result(raw);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && PQresultStatus(raw) != PGRES_TUPLES_OK) {
            throw StoreError("postgresql: " + OneLine(PQerrorMessage(conn_)));
        }
    }
    // The connection is broken (the database restarted, the network went): the store's own
    // thread makes a new one.
    bool Broken() const { return PQstatus(conn_) != CONNECTION_OK; }

  private:
    PGconn* conn_;
};

// `body(commit)` in a transaction: committed when `body` leaves `commit` true, else rolled
// back, and rolled back when it throws.
template <typename Body>
auto Transaction(Connection& c, Body body) {
    c.Run("BEGIN");
    try {
        bool commit = true;
        auto result = body(commit);
        c.Run(commit ? "COMMIT" : "ROLLBACK");
        return result;
    } catch (...) {
        try {
            c.Run("ROLLBACK");
        } catch (const StoreError&) {
            // The connection is gone; the lease resets it.
        }
        throw;
    }
}

class PostgresStore final : public Store {
  public:
    explicit PostgresStore(const std::string& conninfo) : conninfo_(conninfo) {
        for (int i = 0; i < kConnections; ++i) {
            free_.push_back(std::make_unique<Connection>(conninfo));
        }
        Migrate(*free_.front());
        FillSkeletons(*free_.front());
        reconnector_ = std::thread([this] { Reconnect(); });
    }
    ~PostgresStore() override {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        reconnector_.join();
    }
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    AddResult Add(const NewRun& run) override {
        Lease lease(*this);
        Connection& c = lease.Get();
        return Transaction(c, [&](bool& commit) {
            AddResult result = AddIn(c, run);
            commit = result.outcome == AddResult::Outcome::Added;
            return result;
        });
    }

    std::optional<StoredRun> FindByHash(const std::string& hash) override {
        Lease lease(*this);
        return FindIn(lease.Get(), sql::kRunByHashPostgres, hash);
    }

    std::optional<Holder> HolderOf(const std::string& key, const std::string& skeleton) override {
        Lease lease(*this);
        Result r = lease.Get().Run(sql::kHolderPostgres, {key, skeleton});
        if (r.Rows() == 0) return std::nullopt;
        return Holder{r.Text(0, 0), r.Text(0, 1) == "t", r.Text(0, 2)};
    }

    std::vector<TableRow> Top(int limit, Board board) override {
        Lease lease(*this);
        Result r = lease.Get().Run(sql::kTopPostgres, {std::to_string(limit), BoardName(board)});
        std::vector<TableRow> rows;
        for (int i = 0; i < r.Rows(); ++i) {
            TableRow row;
            row.rank = i + 1;
            row.id = r.Int(i, 0);
            row.name = r.Text(i, 1);
            row.score = static_cast<int>(r.Int(i, 2));
            row.when = r.Int(i, 3);
            row.medianMs = r.MaybeInt(i, 4);
            row.fastestMs = r.MaybeInt(i, 5);
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::optional<StoredRun> Run(std::int64_t id) override {
        Lease lease(*this);
        return FindIn(lease.Get(), sql::kRunByIdPostgres, std::to_string(id));
    }

    std::optional<std::string> Replay(std::int64_t id) override {
        Lease lease(*this);
        Result r = lease.Get().Run("SELECT replay FROM replays WHERE run_id = $1",
                                   {std::to_string(id)}, -1, true);
        if (r.Rows() == 0) return std::nullopt;
        return r.Text(0, 0);
    }

    int Rank(std::int64_t id) override {
        Lease lease(*this);
        Result r = lease.Get().Run(sql::kRankPostgres, {std::to_string(id)});
        return r.Rows() == 0 ? 0 : static_cast<int>(r.Int(0, 0));
    }

    std::vector<std::pair<std::int64_t, std::string>> ReactionLines() override {
        Lease lease(*this);
        Result r = lease.Get().Run("SELECT id, reactions FROM runs ORDER BY id");
        std::vector<std::pair<std::int64_t, std::string>> lines;
        for (int i = 0; i < r.Rows(); ++i) lines.emplace_back(r.Int(i, 0), r.Text(i, 1));
        return lines;
    }

    bool SetVerdict(std::int64_t id, const Verdict& verdict) override {
        Lease lease(*this);
        Connection& c = lease.Get();
        const Reactions& x = verdict.reactions;
        return Transaction(c, [&](bool&) {
            // The player's row first, as Add takes it: its bests are made again by one at a time.
            Result player = c.Run(
                "SELECT p.id, r.board FROM players p JOIN runs r ON r.player_id = p.id WHERE "
                "r.id = $1 FOR UPDATE OF p",
                {std::to_string(id)});
            if (player.Rows() == 1) {
                c.Run(
                    "UPDATE runs SET board = $2, hits = $3, median_ms = $4::INTEGER, "
                    "fastest_ms = $5::INTEGER, unseen = $6 WHERE id = $1",
                    {std::to_string(id), BoardName(verdict.board), std::to_string(x.hits),
                     OrNull(x.medianMs), OrNull(x.fastestMs), std::to_string(x.unseen)},
                    -1, false, {3, 4});
                // Bests change only with a board (a re-judging that moves nothing leaves them).
                if (player.Text(0, 1) != BoardName(verdict.board)) {
                    c.Run("DELETE FROM bests WHERE player_id = $1", {player.Text(0, 0)});
                    c.Run(sql::kRedoBestsPostgres, {player.Text(0, 0)});
                }
            }
            return player.Rows() == 1;
        });
    }

    // `call` with a connection of the pool (for the shared queue, which keeps its tables here).
    template <typename Call>
    auto With(Call call) {
        Lease lease(*this);
        return call(lease.Get());
    }
    static std::optional<StoredRun> RunIn(Connection& c, std::int64_t id) {
        return FindIn(c, sql::kRunByIdPostgres, std::to_string(id));
    }

  private:
    // A nullable number as a parameter's text; NULL is told apart by the caller's null list.
    static std::string OrNull(const std::optional<int>& value) {
        return value ? std::to_string(*value) : std::string();
    }

    // One connection, for one call; a broken one goes to the reconnecting thread when given
    // back. Throws StoreUnavailable when every connection is being made again (the database is
    // away: no use waiting) or none came free within kPoolWait.
    class Lease {
      public:
        explicit Lease(PostgresStore& store) : store_(store) {
            std::unique_lock lock(store_.mutex_);
            const bool got = store_.available_.wait_for(lock, kPoolWait, [&] {
                return !store_.free_.empty() || store_.broken_ == kConnections;
            });
            if (!got || store_.free_.empty()) {
                throw StoreUnavailable(got ? "postgresql: the database cannot be reached"
                                           : "postgresql: no connection came free in time");
            }
            connection_ = std::move(store_.free_.back());
            store_.free_.pop_back();
        }
        ~Lease() {
            std::lock_guard lock(store_.mutex_);
            if (connection_->Broken()) {
                ++store_.broken_;
                store_.wake_.notify_one();
                // Waiters learn that there is nothing to wait for once all are broken.
                store_.available_.notify_all();
            } else {
                store_.free_.push_back(std::move(connection_));
                store_.available_.notify_one();
            }
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Connection& Get() { return *connection_; }

      private:
        PostgresStore& store_;
        std::unique_ptr<Connection> connection_;
    };

    // Makes a new connection for each broken one, pausing between attempts while the database
    // is away.
    void Reconnect() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return ending_ || broken_ > 0; });
            if (ending_) return;
            lock.unlock();
            std::unique_ptr<Connection> made;
            try {
                made = std::make_unique<Connection>(conninfo_);
            } catch (const StoreError&) {
            }
            lock.lock();
            if (made) {
                --broken_;
                free_.push_back(std::move(made));
                available_.notify_one();
            } else {
                wake_.wait_for(lock, kReconnectPause, [&] { return ending_; });
            }
        }
    }

    // Players stored before names had skeletons get theirs; of two that look alike the first
    // keeps it and the other none (both keep their names and runs).
    static void FillSkeletons(Connection& c) {
        Result players = c.Run("SELECT id, name FROM players WHERE skeleton IS NULL ORDER BY id");
        for (int i = 0; i < players.Rows(); ++i) {
            const std::string skeleton = CheckName(players.Text(i, 1)).skeleton;
            if (skeleton.empty()) continue;
            try {
                c.Run(
                    "UPDATE players SET skeleton = $1 WHERE id = $2 AND NOT EXISTS (SELECT 1 "
                    "FROM players WHERE skeleton = $1)",
                    {skeleton, players.Text(i, 0)});
            } catch (const StoreError&) {
                // Another server took the skeleton meanwhile: this old name goes without.
                if (c.Broken()) throw;
            }
        }
    }

    static void Migrate(Connection& c) {
        c.Run("SELECT pg_advisory_lock($1)", {std::to_string(kMigrationLock)});
        try {
            c.Run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
            Result r = c.Run("SELECT version FROM schema_version");
            std::int64_t version = 0;
            if (r.Rows() == 0) {
                c.Run("INSERT INTO schema_version VALUES (0)");
            } else {
                version = r.Int(0, 0);
            }
            for (auto i = static_cast<std::size_t>(version); i < sql::kPostgresMigrations.size();
                 ++i) {
                c.Run("BEGIN");
                c.Script(sql::kPostgresMigrations[i]);
                c.Run("UPDATE schema_version SET version = $1", {std::to_string(i + 1)});
                c.Run("COMMIT");
            }
        } catch (...) {
            try {
                c.Run("ROLLBACK");
                c.Run("SELECT pg_advisory_unlock($1)", {std::to_string(kMigrationLock)});
            } catch (const StoreError&) {
            }
            throw;
        }
        c.Run("SELECT pg_advisory_unlock($1)", {std::to_string(kMigrationLock)});
    }

    static std::optional<StoredRun> FindIn(Connection& c, const char* query,
                                           const std::string& param) {
        Result r = c.Run(query, {param});
        if (r.Rows() == 0) return std::nullopt;
        StoredRun run;
        run.id = r.Int(0, 0);
        run.name = r.Text(0, 1);
        run.score = static_cast<int>(r.Int(0, 2));
        run.program = r.Text(0, 3);
        run.hash = r.Text(0, 4);
        run.when = r.Int(0, 5);
        run.verdict.board = BoardNamed(r.Text(0, 6)).value_or(Board::Human);
        run.verdict.reactions.hits = static_cast<int>(r.Int(0, 7));
        run.verdict.reactions.medianMs = r.MaybeInt(0, 8);
        run.verdict.reactions.fastestMs = r.MaybeInt(0, 9);
        run.verdict.reactions.unseen = static_cast<int>(r.Int(0, 10));
        return run;
    }

    static AddResult AddIn(Connection& c, const NewRun& run) {
        AddResult result;
        // A new player takes the new secret; one held already (by its key, or another player's
        // by the skeleton) is left as it is and looked at.
        Result made = c.Run(
            "INSERT INTO players (name, name_key, skeleton, secret_hash) VALUES ($1, $2, $3, $4) "
            "ON CONFLICT DO NOTHING RETURNING id",
            {run.name, run.nameKey, run.skeleton, run.newSecretHash});
        // The player's row is held to the commit: a player's runs and bests change one at a time.
        Result player = c.Run(
            "SELECT id, name, COALESCE(secret_hash, '') FROM players WHERE name_key = $1 FOR "
            "UPDATE",
            {run.nameKey});
        if (player.Rows() == 0) {
            Result alike = c.Run("SELECT name FROM players WHERE skeleton = $1", {run.skeleton});
            result.outcome = AddResult::Outcome::LookAlike;
            if (alike.Rows() > 0) result.run.name = alike.Text(0, 0);
            return result;
        }
        if (player.Text(0, 1) != run.name) {
            result.outcome = AddResult::Outcome::NameTaken;
            result.run.name = player.Text(0, 1);
            return result;
        }
        if (made.Rows() > 0) {
            result.secretIsNew = true;
        } else {
            const SecretCheck check = CheckSecret(player.Text(0, 2), run);
            if (RefusedBySecret(check, result)) return result;
            if (check == SecretCheck::Claim) {
                c.Run("UPDATE players SET secret_hash = $1 WHERE id = $2",
                      {run.newSecretHash, player.Text(0, 0)});
                result.secretIsNew = true;
            }
        }
        const Reactions& x = run.verdict.reactions;
        Result added = c.Run(
            "INSERT INTO runs (player_id, hash, score, program, submitted_at, reactions, board, "
            "hits, median_ms, fastest_ms, unseen) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
            "$9::INTEGER, $10::INTEGER, $11) ON CONFLICT (hash) DO NOTHING RETURNING id",
            {player.Text(0, 0), run.hash, std::to_string(run.score), run.program,
             std::to_string(run.when), run.reactions, BoardName(run.verdict.board),
             std::to_string(x.hits), OrNull(x.medianMs), OrNull(x.fastestMs),
             std::to_string(x.unseen)},
            -1, false, {8, 9});
        if (added.Rows() == 0) {
            result.outcome = AddResult::Outcome::AlreadyStored;
            if (auto stored = FindIn(c, sql::kRunByHashPostgres, run.hash)) result.run = *stored;
            return result;
        }
        const std::string id = added.Text(0, 0);
        c.Run("INSERT INTO replays (run_id, replay) VALUES ($1, $2)", {id, run.replay}, 1);
        result.newBest =
            c.Run(sql::kKeepBestPostgres,
                  {player.Text(0, 0), BoardName(run.verdict.board), id, std::to_string(run.score)})
                .Rows() == 1;
        result.run = Stored(added.Int(0, 0), run);
        return result;
    }

    std::string conninfo_;
    std::mutex mutex_;
    std::condition_variable available_;  // a connection came free, or all are broken
    std::condition_variable wake_;       // for the reconnecting thread
    std::vector<std::unique_ptr<Connection>> free_;
    int broken_ = 0;  // connections given back broken, not yet made again
    bool ending_ = false;
    std::thread reconnector_;
};

// The database's clock, in Unix seconds: every server's times are the same clock's.
#define TAVLO_NOW "EXTRACT(EPOCH FROM clock_timestamp())"

// Admission in one transaction that holds the address's row: two servers admitting for one
// address do so one after the other, so they cannot both admit beyond its limits. The queue's
// jobs are taken with FOR UPDATE SKIP LOCKED under a lease; the server that holds a request
// learns of its job's end by polling (docs/scores.md says why).
class SharedPlays final : public Plays {
  public:
    SharedPlays(PostgresStore& store, const PlaysConfig& config, Work work, Keep keep)
        : store_(store),
          config_(config),
          work_(std::move(work)),
          keep_(std::move(keep)),
          me_(Identity()),
          idle_(config.workers) {
        for (int i = 0; i < config_.workers; ++i) threads_.emplace_back([this] { Worker(); });
        threads_.emplace_back([this] { Renew(); });
        waiter_ = std::thread([this] { Wait(); });
    }
    ~SharedPlays() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
        {
            std::lock_guard lock(mutex_);
            workersGone_ = true;
        }
        wake_.notify_all();
        waiter_.join();
        // Runs still queued stay in the table for the others; their requests are answered now.
        Finished gone;
        gone.played.outcome = Verification::Outcome::ServerTrouble;
        for (auto& [id, answer] : pending_) answer(gone);
    }
    SharedPlays(const SharedPlays&) = delete;
    SharedPlays& operator=(const SharedPlays&) = delete;

    Admitted Submit(QueuedRun run, Answer answer) override {
        Admitted admitted;
        const double charged = std::min<double>(run.play.cpuSeconds, config_.cpuPerAddress);
        const std::optional<std::int64_t> id = store_.With([&](Connection& c) {
            return Transaction(c, [&](bool& commit) {
                const std::optional<std::int64_t> queued = Admit(c, run, charged, admitted);
                commit = queued.has_value();
                return queued;
            });
        });
        if (!id) return admitted;
        {
            std::lock_guard lock(mutex_);
            pending_[*id] = std::move(answer);
            ++submitted_;
        }
        wake_.notify_all();
        return admitted;
    }

  private:
    // How often the server holding a request looks for its run's outcome, and an idle worker
    // for a run queued by another server.
    static constexpr auto kPoll = std::chrono::milliseconds(200);
    static constexpr auto kIdlePoll = std::chrono::milliseconds(500);
    static constexpr auto kSweepEvery = std::chrono::seconds(60);
    static constexpr int kKeepDoneSeconds = 600;  // an outcome nobody came for, before it goes
    static constexpr int kMostTakes = 3;          // a job whose plays never end is given up

    static std::string Identity() {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        std::random_device random;
        return std::string(host) + ":" + std::to_string(getpid()) + ":" + std::to_string(random());
    }

    // Null with `admitted` saying why when refused; else the job's id.
    std::optional<std::int64_t> Admit(Connection& c, const QueuedRun& run, double charged,
                                      Admitted& admitted) {
        c.Run(
            "INSERT INTO play_addresses (address) VALUES ($1) ON CONFLICT (address) DO UPDATE "
            "SET address = excluded.address",
            {run.addressKey});
        if (config_.cpuPerAddress > 0) {
            Result spent =
                c.Run("SELECT charged_at + $2 - " TAVLO_NOW
                      ", seconds FROM play_charges WHERE "
                      "address = $1 AND charged_at > " TAVLO_NOW " - $2 ORDER BY charged_at, id",
                      {run.addressKey, std::to_string(config_.cpuWindowSeconds)});
            std::vector<Charged> charges;
            for (int i = 0; i < spent.Rows(); ++i) {
                charges.push_back({std::stod(spent.Text(i, 0)), std::stod(spent.Text(i, 1))});
            }
            admitted.wait = BudgetWait(charges, charged, config_.cpuPerAddress);
            if (admitted.wait > 0) {
                admitted.refusal = Refusal::CpuShare;
                return std::nullopt;
            }
        }
        if (config_.playsPerAddress > 0 &&
            c.Run("SELECT COUNT(*) FROM queued_plays WHERE address_key = $1 AND state <> 'done'",
                  {run.addressKey})
                    .Int(0, 0) >= config_.playsPerAddress) {
            admitted.refusal = Refusal::AddressBusy;
            return std::nullopt;
        }
        // The plays waiting anywhere, against this server's room: its queue and its idle
        // workers.
        if (c.Run("SELECT COUNT(*) FROM queued_plays WHERE state = 'queued'").Int(0, 0) >=
            config_.queue + idle_.load()) {
            admitted.refusal = Refusal::Full;
            return std::nullopt;
        }
        std::string charge;
        if (config_.cpuPerAddress > 0) {
            charge = c.Run(
                          "INSERT INTO play_charges (address, charged_at, seconds) VALUES "
                          "($1, " TAVLO_NOW ", $2) RETURNING id",
                          {run.addressKey, std::to_string(charged)})
                         .Text(0, 0);
        }
        return c
            .Run(
                "INSERT INTO queued_plays (address, address_key, charge_id, cpu_seconds, replay, "
                "name, name_key, skeleton, secret_hash, new_secret_hash, hash, program, "
                "queued_at) VALUES ($1, $2, $3::BIGINT, $4, $5, $6, $7, $8, $9, $10, $11, $12, "
                " " TAVLO_NOW ") RETURNING id",
                {run.address, run.addressKey, charge, std::to_string(run.play.cpuSeconds),
                 run.play.replay, run.name, run.nameKey, run.skeleton, run.secretHash,
                 run.newSecretHash, run.hash, run.program},
                4, false, {2})
            .Int(0, 0);
    }

    struct Taken {
        std::int64_t id = 0;
        int takes = 0;
        QueuedRun run;
    };

    // The next job, in turn: the oldest of the address whose last turn is the oldest (an address
    // new to the queue first), among those waiting and those whose lease lapsed. One statement
    // claims it, its own transaction; a worker that goes before it has read the rest leaves the
    // run to the next once the lease lapses.
    std::optional<Taken> Take() {
        return store_.With([&](Connection& c) -> std::optional<Taken> {
            Result r = c.Run(
                "WITH next AS (SELECT q.id FROM queued_plays q LEFT JOIN play_addresses a ON "
                "a.address = q.address_key WHERE q.program = $3 AND (q.state = 'queued' OR "
                "(q.state = 'playing' AND q.lease_until < " TAVLO_NOW
                ")) ORDER BY a.last_taken NULLS FIRST, q.id LIMIT 1 FOR UPDATE OF q SKIP "
                "LOCKED) UPDATE queued_plays q SET state = 'playing', taken_by = $1, "
                "lease_until = " TAVLO_NOW
                " + $2, takes = q.takes + 1 FROM next WHERE q.id = next.id RETURNING q.id, "
                "q.takes, q.address, q.address_key, q.cpu_seconds, q.name, q.name_key, "
                "q.skeleton, q.secret_hash, q.new_secret_hash, q.hash, q.program",
                {me_, std::to_string(config_.leaseSeconds), config_.version});
            if (r.Rows() == 0) return std::nullopt;
            Taken taken;
            taken.id = r.Int(0, 0);
            taken.takes = static_cast<int>(r.Int(0, 1));
            QueuedRun& run = taken.run;
            run.address = r.Text(0, 2);
            run.addressKey = r.Text(0, 3);
            run.play.cpuSeconds = static_cast<int>(r.Int(0, 4));
            run.name = r.Text(0, 5);
            run.nameKey = r.Text(0, 6);
            run.skeleton = r.Text(0, 7);
            run.secretHash = r.Text(0, 8);
            run.newSecretHash = r.Text(0, 9);
            run.hash = r.Text(0, 10);
            run.program = r.Text(0, 11);
            run.play.replay = c.Run("SELECT replay FROM queued_plays WHERE id = $1",
                                    {std::to_string(taken.id)}, -1, true)
                                  .Text(0, 0);
            c.Run("UPDATE play_addresses SET last_taken = " TAVLO_NOW " WHERE address = $1",
                  {run.addressKey});
            return taken;
        });
    }

    // The outcome written once (the first to finish a job that was taken twice wins), and the
    // address's charge settled at what the play took.
    void Write(std::int64_t id, const Finished& f) {
        const AddResult& added = f.added;
        const std::vector<std::string> params = {std::to_string(id),
                                                 std::to_string(static_cast<int>(f.step)),
                                                 std::to_string(static_cast<int>(f.played.outcome)),
                                                 f.played.detail,
                                                 std::to_string(f.played.cpuUsed),
                                                 std::to_string(static_cast<int>(added.outcome)),
                                                 std::to_string(added.run.id),
                                                 added.run.name,
                                                 added.secretIsNew ? "true" : "false",
                                                 added.newBest ? "true" : "false"};
        store_.With([&](Connection& c) {
            c.Run(
                "WITH done AS (UPDATE queued_plays SET state = 'done', step = $2, outcome = $3, "
                "detail = $4, cpu_used = $5, added = $6, run_id = $7, holder = $8, "
                "secret_is_new = $9, new_best = $10, done_at = " TAVLO_NOW
                ", replay = ''::BYTEA WHERE id = $1 AND state <> 'done' RETURNING charge_id) "
                "UPDATE play_charges p SET seconds = LEAST(p.seconds, GREATEST($5::DOUBLE "
                "PRECISION, 0)) FROM done WHERE p.id = done.charge_id",
                params);
            return 0;
        });
    }

    void Worker() {
        bool away = false;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
            }
            std::optional<Taken> taken;
            try {
                taken = Take();
                away = false;
            } catch (const StoreError& e) {
                // Said once while the database is away, not at every look.
                if (!std::exchange(away, true))
                    std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            }
            if (!taken) {
                // A run queued here is taken at once; one queued elsewhere, or a lease that
                // lapsed, at the next look.
                std::unique_lock lock(mutex_);
                const std::uint64_t seen = submitted_;
                if (wake_.wait_for(lock, kIdlePoll,
                                   [&] { return stopping_ || submitted_ != seen; }) &&
                    stopping_) {
                    return;
                }
                continue;
            }
            --idle_;
            {
                std::lock_guard lock(mutex_);
                playing_.insert(taken->id);
            }
            Finished finished;
            if (taken->takes > kMostTakes) {
                // Every worker that took it went before it finished (a play that ends its
                // server?): it is not played again.
                finished.played.detail = "its plays were taken " + std::to_string(kMostTakes) +
                                         " times and never finished";
                std::fprintf(stderr, "tavlo-scores: a run from %s: %s\n",
                             taken->run.address.c_str(), finished.played.detail.c_str());
            } else {
                Verification played;
                try {
                    played = work_(taken->run.play);
                } catch (const std::exception& e) {
                    played.outcome = Verification::Outcome::ServerTrouble;
                    played.detail = e.what();
                }
                finished = keep_(taken->run, played);
            }
            // Written again while the store is away; a job never written is played again by
            // whoever takes it once its lease lapses (its run is found stored then).
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(45);
            for (auto pause = std::chrono::milliseconds(250);;
                 pause = std::min(pause * 2, std::chrono::milliseconds(4000))) {
                try {
                    Write(taken->id, finished);
                    break;
                } catch (const StoreError& e) {
                    std::fprintf(stderr, "tavlo-scores: %s (trying again)\n", e.what());
                }
                if (std::chrono::steady_clock::now() + pause > end) break;
                std::this_thread::sleep_for(pause);
            }
            {
                std::lock_guard lock(mutex_);
                playing_.erase(taken->id);
            }
            ++idle_;
        }
    }

    // The leases of this process's plays, renewed a few times within each (only while played:
    // a run whose outcome could not be written is left to lapse, and to be taken again).
    void Renew() {
        const auto every = std::chrono::milliseconds(std::max(1, config_.leaseSeconds) * 1000 / 3);
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, every, [&] { return stopping_; })) {
            std::string ids;
            for (const std::int64_t id : playing_) {
                ids += (ids.empty() ? "{" : ",") + std::to_string(id);
            }
            lock.unlock();
            try {
                if (!ids.empty()) {
                    store_.With([&](Connection& c) {
                        return c.Run("UPDATE queued_plays SET lease_until = " TAVLO_NOW
                                     " + $2 WHERE taken_by = $1 AND state = 'playing' AND id = "
                                     "ANY($3::BIGINT[])",
                                     {me_, std::to_string(config_.leaseSeconds), ids + "}"});
                    });
                }
            } catch (const StoreError&) {
                // The database is away: the lease lasts a while, and is renewed next time.
            }
            lock.lock();
        }
    }

    // The outcomes of this server's jobs, answered; and now and then what nobody came for
    // removed. Once this process's workers have ended, one last look, for what they wrote.
    void Wait() {
        auto swept = std::chrono::steady_clock::now();
        bool away = false;
        for (;;) {
            std::string ids;
            bool last = false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, kPoll, [&] { return workersGone_; });
                last = workersGone_;
                for (const auto& [id, answer] : pending_) {
                    ids += (ids.empty() ? "{" : ",") + std::to_string(id);
                }
            }
            std::vector<std::pair<std::int64_t, Finished>> done;
            try {
                if (!ids.empty()) done = Done(ids + "}");
                if (!last && std::chrono::steady_clock::now() - swept > kSweepEvery) {
                    Sweep();
                    swept = std::chrono::steady_clock::now();
                }
                away = false;
            } catch (const StoreError& e) {
                if (!std::exchange(away, true))
                    std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            }
            for (auto& [id, finished] : done) {
                Answer answer;
                {
                    std::lock_guard lock(mutex_);
                    const auto found = pending_.find(id);
                    if (found == pending_.end()) continue;
                    answer = std::move(found->second);
                    pending_.erase(found);
                }
                answer(finished);
            }
            if (last) return;
        }
    }

    // The jobs among `ids` ("{1,2}") that are done, removed from the table.
    std::vector<std::pair<std::int64_t, Finished>> Done(const std::string& ids) {
        return store_.With([&](Connection& c) {
            Result r = c.Run(
                "SELECT id, step, outcome, detail, cpu_used, added, run_id, holder, "
                "secret_is_new, new_best FROM queued_plays WHERE state = 'done' AND id = "
                "ANY($1::BIGINT[])",
                {ids});
            std::vector<std::pair<std::int64_t, Finished>> done;
            for (int i = 0; i < r.Rows(); ++i) {
                Finished f;
                f.step = static_cast<Finished::Step>(r.Int(i, 1));
                f.played.outcome = static_cast<Verification::Outcome>(r.Int(i, 2));
                f.played.detail = r.Text(i, 3);
                f.played.cpuUsed = std::stod(r.Text(i, 4));
                AddResult& added = f.added;
                added.outcome = static_cast<AddResult::Outcome>(r.Int(i, 5));
                added.run.name = r.Text(i, 7);
                added.secretIsNew = r.Text(i, 8) == "t";
                added.newBest = r.Text(i, 9) == "t";
                if (f.step == Finished::Step::Stored &&
                    (added.outcome == AddResult::Outcome::Added ||
                     added.outcome == AddResult::Outcome::AlreadyStored)) {
                    const std::optional<StoredRun> run = PostgresStore::RunIn(c, r.Int(i, 6));
                    if (run) {
                        added.run = *run;
                    } else {
                        f.step = Finished::Step::StoreAway;
                    }
                }
                c.Run("DELETE FROM queued_plays WHERE id = $1", {r.Text(i, 0)});
                done.emplace_back(r.Int(i, 0), std::move(f));
            }
            return done;
        });
    }

    // Outcomes whose server is gone, charges out of every window, addresses with neither.
    void Sweep() {
        store_.With([&](Connection& c) {
            c.Run("DELETE FROM queued_plays WHERE state = 'done' AND done_at < " TAVLO_NOW " - $1",
                  {std::to_string(kKeepDoneSeconds)});
            c.Run("DELETE FROM play_charges WHERE charged_at < " TAVLO_NOW " - $1",
                  {std::to_string(config_.cpuWindowSeconds)});
            return c.Run(
                "DELETE FROM play_addresses a WHERE NOT EXISTS (SELECT 1 FROM play_charges p "
                "WHERE p.address = a.address) AND NOT EXISTS (SELECT 1 FROM queued_plays q WHERE "
                "q.address_key = a.address)");
        });
    }

    PostgresStore& store_;
    PlaysConfig config_;
    Work work_;
    Keep keep_;
    std::string me_;  // taken_by: this process
    std::atomic<int> idle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::int64_t, Answer> pending_;  // this server's jobs, by id
    std::set<std::int64_t> playing_;          // jobs this process's workers hold: their leases
    std::uint64_t submitted_ = 0;             // runs queued here: an idle worker looks at once
    bool stopping_ = false;                   // workers and renewal end
    bool workersGone_ = false;  // ... and have ended: the waiter looks once more and ends
    std::vector<std::thread> threads_;
    std::thread waiter_;
};

#undef TAVLO_NOW

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& conninfo) {
    return std::make_unique<PostgresStore>(conninfo);
}

std::unique_ptr<Plays> OpenSharedPlays(Store& store, const PlaysConfig& config, Plays::Work work,
                                       Plays::Keep keep) {
    auto* postgres = dynamic_cast<PostgresStore*>(&store);
    if (!postgres) return nullptr;
    return std::make_unique<SharedPlays>(*postgres, config, std::move(work), std::move(keep));
}

}  // namespace scores
