// The embedded store: one SQLite file in WAL mode with synchronous commits (a run acknowledged
// is on disk). One writing connection behind a mutex: the server's writes are small next to a
// replay's verification, so one at a time costs nothing that shows. Reads go through a few
// read-only connections of their own: in WAL mode a reader sees the last commit and never
// waits for a write under way, so a burst of readers does not queue behind a submission's
// commit (its fsync) or behind each other.
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include "names.h"
#include "store.h"
#include "store_sql.h"

namespace scores {

namespace {

constexpr int kReaders = 4;

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db));
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, const std::string& text) {
        Check(sqlite3_bind_text(statement_, i, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& BindBlob(int i, const std::string& bytes) {
        Check(sqlite3_bind_blob(statement_, i, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int i, std::int64_t value) {
        Check(sqlite3_bind_int64(statement_, i, value));
        return *this;
    }
    // True while there is a row.
    bool Step() {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW) return true;
        if (result == SQLITE_DONE) return false;
        throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_));
    }
    std::int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }
    std::optional<int> MaybeInt(int column) {
        if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
        return static_cast<int>(sqlite3_column_int64(statement_, column));
    }
    Statement& Bind(int i, const std::optional<int>& value) {
        Check(value ? sqlite3_bind_int64(statement_, i, *value) : sqlite3_bind_null(statement_, i));
        return *this;
    }
    std::string Text(int column) {
        const void* data = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }

  private:
    void Check(int result) {
        if (result != SQLITE_OK) throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

class SqliteStore final : public Store {
  public:
    explicit SqliteStore(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StoreError("sqlite: " + path + ": " + message);
        }
        sqlite3_busy_timeout(db_, 5000);
        Execute("PRAGMA journal_mode=WAL");
        Execute("PRAGMA synchronous=FULL");
        Execute("PRAGMA foreign_keys=ON");
        Migrate();
        FillSkeletons();
        // A database in memory is the one connection's own: its reads go through the writer.
        if (path != ":memory:" && !path.empty()) {
            for (int i = 0; i < kReaders; ++i) readers_.push_back(OpenReader(path));
        }
    }
    ~SqliteStore() override {
        for (sqlite3* reader : readers_) sqlite3_close(reader);
        sqlite3_close(db_);
    }
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    AddResult Add(const NewRun& run) override {
        std::lock_guard lock(mutex_);
        Execute("BEGIN IMMEDIATE");
        try {
            AddResult result = AddLocked(run);
            Execute(result.outcome == AddResult::Outcome::Added ? "COMMIT" : "ROLLBACK");
            return result;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::optional<StoredRun> FindByHash(const std::string& hash) override {
        Reader reader(*this);
        return FindIn(reader.db, sql::kRunByHash, [&](Statement& s) { s.Bind(1, hash); });
    }

    std::optional<Holder> HolderOf(const std::string& key, const std::string& skeleton) override {
        Reader reader(*this);
        Statement s(reader.db, sql::kHolderSqlite);
        s.Bind(1, key).Bind(2, skeleton);
        if (!s.Step()) return std::nullopt;
        return Holder{s.Text(0), s.Int(1) != 0, s.Text(2)};
    }

    std::vector<TableRow> Top(int limit, Board board) override {
        Reader reader(*this);
        Statement s(reader.db, sql::kTopSqlite);
        s.Bind(1, std::int64_t{limit}).Bind(2, std::string(BoardName(board)));
        std::vector<TableRow> rows;
        while (s.Step()) {
            TableRow row;
            row.rank = static_cast<int>(rows.size()) + 1;
            row.id = s.Int(0);
            row.name = s.Text(1);
            row.score = static_cast<int>(s.Int(2));
            row.when = s.Int(3);
            row.medianMs = s.MaybeInt(4);
            row.fastestMs = s.MaybeInt(5);
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::optional<StoredRun> Run(std::int64_t id) override {
        Reader reader(*this);
        return FindIn(reader.db, sql::kRunById, [&](Statement& s) { s.Bind(1, id); });
    }

    std::optional<std::string> Replay(std::int64_t id) override {
        Reader reader(*this);
        Statement s(reader.db, "SELECT replay FROM replays WHERE run_id = ?1");
        s.Bind(1, id);
        if (!s.Step()) return std::nullopt;
        return s.Text(0);
    }

    int Rank(std::int64_t id) override {
        Reader reader(*this);
        Statement s(reader.db, sql::kRankSqlite);
        s.Bind(1, id);
        return s.Step() ? static_cast<int>(s.Int(0)) : 0;
    }

    std::vector<std::pair<std::int64_t, std::string>> ReactionLines() override {
        Reader reader(*this);
        Statement s(reader.db, "SELECT id, reactions FROM runs ORDER BY id");
        std::vector<std::pair<std::int64_t, std::string>> lines;
        while (s.Step()) lines.emplace_back(s.Int(0), s.Text(1));
        return lines;
    }

    bool SetVerdict(std::int64_t id, const Verdict& verdict) override {
        std::lock_guard lock(mutex_);
        Execute("BEGIN IMMEDIATE");
        try {
            bool found = false;
            std::int64_t player = 0;
            std::string board;
            {
                Statement before(db_, "SELECT player_id, board FROM runs WHERE id = ?1");
                before.Bind(1, id);
                found = before.Step();
                if (found) {
                    player = before.Int(0);
                    board = before.Text(1);
                }
            }
            Statement s(db_,
                        "UPDATE runs SET board = ?2, hits = ?3, median_ms = ?4, fastest_ms = ?5, "
                        "unseen = ?6 WHERE id = ?1");
            s.Bind(1, id).Bind(2, std::string(BoardName(verdict.board)));
            s.Bind(3, std::int64_t{verdict.reactions.hits}).Bind(4, verdict.reactions.medianMs);
            s.Bind(5, verdict.reactions.fastestMs).Bind(6, std::int64_t{verdict.reactions.unseen});
            s.Step();
            // Bests change only with a board (a re-judging that moves nothing leaves them).
            if (found && board != BoardName(verdict.board)) {
                Statement gone(db_, "DELETE FROM bests WHERE player_id = ?1");
                gone.Bind(1, player).Step();
                Statement made(db_, sql::kRedoBestsSqlite);
                made.Bind(1, player).Step();
            }
            Execute("COMMIT");
            return found;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

  private:
    // A read connection for one call; the writer's, under its mutex, when there are none.
    struct Reader {
        explicit Reader(SqliteStore& store) : store(store) {
            if (store.readers_.empty()) {
                writer = std::unique_lock(store.mutex_);
                db = store.db_;
                return;
            }
            std::unique_lock lock(store.readMutex_);
            store.readerFree_.wait(lock, [&] { return !store.idle_.empty(); });
            db = store.idle_.back();
            store.idle_.pop_back();
        }
        ~Reader() {
            if (writer.owns_lock()) return;
            {
                std::lock_guard lock(store.readMutex_);
                store.idle_.push_back(db);
            }
            store.readerFree_.notify_one();
        }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        SqliteStore& store;
        std::unique_lock<std::mutex> writer;
        sqlite3* db = nullptr;
    };

    sqlite3* OpenReader(const std::string& path) {
        sqlite3* reader = nullptr;
        if (sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string message = reader ? sqlite3_errmsg(reader) : "out of memory";
            sqlite3_close(reader);
            throw StoreError("sqlite: " + path + ": " + message);
        }
        // A checkpoint or recovery may hold the file for a moment.
        sqlite3_busy_timeout(reader, 5000);
        idle_.push_back(reader);
        return reader;
    }

    void Execute(const char* statement) {
        char* error = nullptr;
        if (sqlite3_exec(db_, statement, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw StoreError("sqlite: " + message);
        }
    }

    void Migrate() {
        std::lock_guard lock(mutex_);
        Execute("BEGIN IMMEDIATE");
        try {
            Execute("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
            std::int64_t version = 0;
            {
                Statement s(db_, "SELECT version FROM schema_version");
                if (s.Step()) {
                    version = s.Int(0);
                } else {
                    Execute("INSERT INTO schema_version VALUES (0)");
                }
            }
            for (std::size_t i = static_cast<std::size_t>(version);
                 i < sql::kSqliteMigrations.size(); ++i) {
                Execute(sql::kSqliteMigrations[i]);
                Statement s(db_, "UPDATE schema_version SET version = ?1");
                s.Bind(1, static_cast<std::int64_t>(i + 1));
                s.Step();
            }
            Execute("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    // Players stored before names had skeletons get theirs; of two that look alike the first
    // keeps it and the other none (both keep their names and runs).
    void FillSkeletons() {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<std::int64_t, std::string>> players;
        {
            Statement s(db_, "SELECT id, name FROM players WHERE skeleton IS NULL ORDER BY id");
            while (s.Step()) players.emplace_back(s.Int(0), s.Text(1));
        }
        for (const auto& [id, name] : players) {
            const std::string skeleton = CheckName(name).skeleton;
            if (skeleton.empty()) continue;
            Statement s(db_, "UPDATE OR IGNORE players SET skeleton = ?1 WHERE id = ?2");
            s.Bind(1, skeleton).Bind(2, id).Step();
        }
    }

    template <typename BindFn>
    static std::optional<StoredRun> FindIn(sqlite3* db, const char* query, BindFn bind) {
        Statement s(db, query);
        bind(s);
        if (!s.Step()) return std::nullopt;
        StoredRun run;
        run.id = s.Int(0);
        run.name = s.Text(1);
        run.score = static_cast<int>(s.Int(2));
        run.program = s.Text(3);
        run.hash = s.Text(4);
        run.when = s.Int(5);
        run.verdict.board = BoardNamed(s.Text(6)).value_or(Board::Human);
        run.verdict.reactions.hits = static_cast<int>(s.Int(7));
        run.verdict.reactions.medianMs = s.MaybeInt(8);
        run.verdict.reactions.fastestMs = s.MaybeInt(9);
        run.verdict.reactions.unseen = static_cast<int>(s.Int(10));
        return run;
    }

    AddResult AddLocked(const NewRun& run) {
        AddResult result;
        std::int64_t player = 0;
        bool claim = false;
        {
            Statement s(
                db_, "SELECT id, name, COALESCE(secret_hash, '') FROM players WHERE name_key = ?1");
            s.Bind(1, run.nameKey);
            if (s.Step()) {
                player = s.Int(0);
                if (s.Text(1) != run.name) {
                    result.outcome = AddResult::Outcome::NameTaken;
                    result.run.name = s.Text(1);
                    return result;
                }
                const SecretCheck check = CheckSecret(s.Text(2), run);
                if (RefusedBySecret(check, result)) return result;
                claim = check == SecretCheck::Claim;
            }
        }
        if (player == 0) {
            Statement s(db_, "SELECT name FROM players WHERE skeleton = ?1");
            s.Bind(1, run.skeleton);
            if (s.Step()) {
                result.outcome = AddResult::Outcome::LookAlike;
                result.run.name = s.Text(0);
                return result;
            }
        }
        if (auto stored =
                FindIn(db_, sql::kRunByHash, [&](Statement& s) { s.Bind(1, run.hash); })) {
            result.outcome = AddResult::Outcome::AlreadyStored;
            result.run = *stored;
            return result;
        }
        if (player == 0) {
            Statement s(db_,
                        "INSERT INTO players (name, name_key, skeleton, secret_hash) "
                        "VALUES (?1, ?2, ?3, ?4)");
            s.Bind(1, run.name).Bind(2, run.nameKey).Bind(3, run.skeleton);
            s.Bind(4, run.newSecretHash).Step();
            player = sqlite3_last_insert_rowid(db_);
            result.secretIsNew = true;
        } else if (claim) {
            Statement s(db_, "UPDATE players SET secret_hash = ?1 WHERE id = ?2");
            s.Bind(1, run.newSecretHash).Bind(2, player).Step();
            result.secretIsNew = true;
        }
        Statement s(db_,
                    "INSERT INTO runs (player_id, hash, score, program, submitted_at, "
                    "reactions, board, hits, median_ms, fastest_ms, unseen) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
        s.Bind(1, player).Bind(2, run.hash).Bind(3, std::int64_t{run.score});
        s.Bind(4, run.program).Bind(5, run.when);
        const Reactions& r = run.verdict.reactions;
        s.Bind(6, run.reactions).Bind(7, std::string(BoardName(run.verdict.board)));
        s.Bind(8, std::int64_t{r.hits}).Bind(9, r.medianMs).Bind(10, r.fastestMs);
        s.Bind(11, std::int64_t{r.unseen}).Step();
        const std::int64_t id = sqlite3_last_insert_rowid(db_);
        Statement replay(db_, "INSERT INTO replays (run_id, replay) VALUES (?1, ?2)");
        replay.Bind(1, id).BindBlob(2, run.replay).Step();
        Statement best(db_, sql::kKeepBestSqlite);
        best.Bind(1, player).Bind(2, std::string(BoardName(run.verdict.board)));
        best.Bind(3, id).Bind(4, std::int64_t{run.score}).Step();
        result.newBest = sqlite3_changes(db_) == 1;
        result.run = Stored(id, run);
        return result;
    }

    std::mutex mutex_;  // the writer's
    sqlite3* db_ = nullptr;
    std::vector<sqlite3*> readers_;
    std::mutex readMutex_;
    std::condition_variable readerFree_;
    std::vector<sqlite3*> idle_;  // readers not in use
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
    return std::make_unique<SqliteStore>(path);
}

std::unique_ptr<Store> OpenStore(const std::string& where) {
    if (where.starts_with("postgresql://") || where.starts_with("postgres://")) {
        return OpenPostgresStore(where);
    }
    return OpenSqliteStore(where);
}

}  // namespace scores
