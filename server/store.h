// Where runs are kept: one small interface, an SQLite and a PostgreSQL store behind it. Each
// store brings its schema up to date when opened (its own list of migrations, the version kept
// in the database). Every call is safe from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "reactions.h"

namespace scores {

// Where a run stands and why: its board and its reaction times, judged from its lines.
struct Verdict {
    Board board = Board::Human;
    Reactions reactions;
};

struct NewRun {
    std::string name;       // as the player wrote it (NFC)
    std::string nameKey;    // its case-folded form: one player a key
    std::string hash;       // SHA-256 of the replay, hex
    std::string replay;     // the bytes as submitted
    std::string program;    // the program version that verified it
    int score = 0;          // the best round's score the verification reported
    std::int64_t when = 0;  // Unix seconds
    std::string reactions;  // the play's reaction lines, kept so that a new rule re-judges
    Verdict verdict;
};

struct StoredRun {
    std::int64_t id = 0;
    std::string name;
    int score = 0;
    std::string program;
    std::string hash;
    std::int64_t when = 0;
    Verdict verdict;
};

// The run as a store keeps it, once it has its id.
inline StoredRun Stored(std::int64_t id, const NewRun& run) {
    return {id, run.name, run.score, run.program, run.hash, run.when, run.verdict};
}

struct TableRow {
    int rank = 0;
    std::int64_t id = 0;
    std::string name;
    int score = 0;
    std::int64_t when = 0;
    std::optional<int> medianMs;
    std::optional<int> fastestMs;
};

struct AddResult {
    enum class Outcome {
        Added,          // stored now
        AlreadyStored,  // the same replay was stored before (`run` is that one)
        NameTaken,      // the name is held in another case (`run.name` holds it)
    };
    Outcome outcome = Outcome::Added;
    StoredRun run;
};

// A store that cannot be reached or refuses a statement throws this.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Store {
  public:
    virtual ~Store() = default;
    // Stores the run once: in one transaction, the player by its key (made on first use) and the
    // run by its hash.
    virtual AddResult Add(const NewRun& run) = 0;
    virtual std::optional<StoredRun> FindByHash(const std::string& hash) = 0;
    // The name the key is held under, if any player holds it.
    virtual std::optional<std::string> NameOfKey(const std::string& key) = 0;
    // The best run of each player on `board`, best first; of equal scores the one stored first.
    virtual std::vector<TableRow> Top(int limit, Board board) = 0;
    virtual std::optional<StoredRun> Run(std::int64_t id) = 0;
    virtual std::optional<std::string> Replay(std::int64_t id) = 0;
    // Where the run stands on its board: 1 + the other players' best runs there ahead of it (a
    // higher score, or the same stored earlier).
    virtual int Rank(std::int64_t id) = 0;
    // Every run's id and reaction lines, in the order stored (for re-judging).
    virtual std::vector<std::pair<std::int64_t, std::string>> ReactionLines() = 0;
    // A run judged anew; false when there is no such run.
    virtual bool SetVerdict(std::int64_t id, const Verdict& verdict) = 0;
};

// `where` is a file name (SQLite) or a postgresql:// / postgres:// URI (PostgreSQL). Throws
// StoreError when the store cannot be opened or brought up to date.
std::unique_ptr<Store> OpenStore(const std::string& where);
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
std::unique_ptr<Store> OpenPostgresStore(const std::string& conninfo);

}  // namespace scores
