// The PostgreSQL store, through libpq: a few connections shared by the server's threads, every
// statement with its parameters apart from its text, migrations under an advisory lock so that
// two servers starting together do not both apply one. A database that goes away costs a
// request at most its statement's time: connections have connect, statement and keep-alive
// limits, a broken one is made again by a thread of the store's own (never in a request's), and
// a request waits for a free connection only so long.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <libpq-fe.h>

#include "names.h"
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
        c.Run("BEGIN");
        try {
            AddResult result = AddIn(c, run);
            c.Run(result.outcome == AddResult::Outcome::Added ? "COMMIT" : "ROLLBACK");
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
        c.Run("BEGIN");
        try {
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
            c.Run("COMMIT");
            return player.Rows() == 1;
        } catch (...) {
            try {
                c.Run("ROLLBACK");
            } catch (const StoreError&) {
            }
            throw;
        }
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
            switch (CheckSecret(player.Text(0, 2), run)) {
                case SecretCheck::Matches:
                    break;
                case SecretCheck::Own:
                    result.secretIsNew = true;
                    break;
                case SecretCheck::Claim:
                    c.Run("UPDATE players SET secret_hash = $1 WHERE id = $2",
                          {run.newSecretHash, player.Text(0, 0)});
                    result.secretIsNew = true;
                    break;
                case SecretCheck::Missing:
                    result.outcome = AddResult::Outcome::NoSecret;
                    return result;
                case SecretCheck::Wrong:
                    result.outcome = AddResult::Outcome::WrongSecret;
                    return result;
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

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& conninfo) {
    return std::make_unique<PostgresStore>(conninfo);
}

}  // namespace scores
