// The PostgreSQL store, through libpq: a few connections shared by the server's threads, every
// statement with its parameters apart from its text, migrations under an advisory lock so that
// two servers starting together do not both apply one.
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include <libpq-fe.h>

#include "store.h"
#include "store_sql.h"

namespace scores {

namespace {

constexpr int kConnections = 4;
constexpr long kMigrationLock = 0x7461766c6f;  // "tavlo"

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
    explicit Connection(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str())) {
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string message = conn_ ? PQerrorMessage(conn_) : "out of memory";
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
            throw StoreError(std::string("postgresql: ") + PQerrorMessage(conn_));
        }
        return result;
    }
    // Several statements in one text (migrations); no parameters.
    void Script(const char* statements) {
        PGresult* raw = PQexec(conn_, statements);
        Result result(raw);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && PQresultStatus(raw) != PGRES_TUPLES_OK) {
            throw StoreError(std::string("postgresql: ") + PQerrorMessage(conn_));
        }
    }
    // The connection is broken (the server restarted): it is made again before its next use.
    bool Broken() const { return PQstatus(conn_) != CONNECTION_OK; }
    void Reset() { PQreset(conn_); }

  private:
    PGconn* conn_;
};

class PostgresStore final : public Store {
  public:
    explicit PostgresStore(const std::string& conninfo) {
        for (int i = 0; i < kConnections; ++i) {
            free_.push_back(std::make_unique<Connection>(conninfo));
        }
        Migrate(*free_.front());
    }

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

    std::optional<std::string> NameOfKey(const std::string& key) override {
        Lease lease(*this);
        Result r = lease.Get().Run("SELECT name FROM players WHERE name_key = $1", {key});
        if (r.Rows() == 0) return std::nullopt;
        return r.Text(0, 0);
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
        Result r = lease.Get().Run("SELECT replay FROM runs WHERE id = $1", {std::to_string(id)},
                                   -1, true);
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
        const Reactions& x = verdict.reactions;
        Result r = lease.Get().Run(
            "UPDATE runs SET board = $2, hits = $3, median_ms = $4::INTEGER, "
            "fastest_ms = $5::INTEGER, unseen = $6 WHERE id = $1 RETURNING id",
            {std::to_string(id), BoardName(verdict.board), std::to_string(x.hits),
             OrNull(x.medianMs), OrNull(x.fastestMs), std::to_string(x.unseen)},
            -1, false, {3, 4});
        return r.Rows() == 1;
    }

  private:
    // A nullable number as a parameter's text; NULL is told apart by the caller's null list.
    static std::string OrNull(const std::optional<int>& value) {
        return value ? std::to_string(*value) : std::string();
    }

    // One connection, for one call; a broken one is reset when given back.
    class Lease {
      public:
        explicit Lease(PostgresStore& store) : store_(store) {
            std::unique_lock lock(store_.mutex_);
            store_.available_.wait(lock, [&] { return !store_.free_.empty(); });
            connection_ = std::move(store_.free_.back());
            store_.free_.pop_back();
        }
        ~Lease() {
            if (connection_->Broken()) connection_->Reset();
            std::lock_guard lock(store_.mutex_);
            store_.free_.push_back(std::move(connection_));
            store_.available_.notify_one();
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Connection& Get() { return *connection_; }

      private:
        PostgresStore& store_;
        std::unique_ptr<Connection> connection_;
    };

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
        c.Run(
            "INSERT INTO players (name, name_key) VALUES ($1, $2) ON CONFLICT (name_key) "
            "DO NOTHING",
            {run.name, run.nameKey});
        Result player = c.Run("SELECT id, name FROM players WHERE name_key = $1", {run.nameKey});
        if (player.Text(0, 1) != run.name) {
            result.outcome = AddResult::Outcome::NameTaken;
            result.run.name = player.Text(0, 1);
            return result;
        }
        const Reactions& x = run.verdict.reactions;
        Result added = c.Run(
            "INSERT INTO runs (player_id, hash, score, program, submitted_at, replay, reactions, "
            "board, hits, median_ms, fastest_ms, unseen) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
            "$9, $10::INTEGER, $11::INTEGER, $12) ON CONFLICT (hash) DO NOTHING RETURNING id",
            {player.Text(0, 0), run.hash, std::to_string(run.score), run.program,
             std::to_string(run.when), run.replay, run.reactions, BoardName(run.verdict.board),
             std::to_string(x.hits), OrNull(x.medianMs), OrNull(x.fastestMs),
             std::to_string(x.unseen)},
            5, false, {9, 10});
        if (added.Rows() == 0) {
            result.outcome = AddResult::Outcome::AlreadyStored;
            if (auto stored = FindIn(c, sql::kRunByHashPostgres, run.hash)) result.run = *stored;
            return result;
        }
        result.run = Stored(added.Int(0, 0), run);
        return result;
    }

    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::unique_ptr<Connection>> free_;
};

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& conninfo) {
    return std::make_unique<PostgresStore>(conninfo);
}

}  // namespace scores
