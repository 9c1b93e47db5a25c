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
    std::string name;      // as the player wrote it (NFC)
    std::string nameKey;   // its case-folded form: one player a key
    std::string skeleton;  // its look-alike form (names.h): one player a skeleton
    // The name's secret (the "key" a player is given with the first run under a name), as
    // SHA-256 hex: the one this submission brought (empty: none), and the one made for it, which
    // a name that has none yet (new, or stored before names had secrets) takes.
    std::string secretHash;
    std::string newSecretHash;
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
        LookAlike,      // another player's name looks the same (`run.name` holds it)
        NoSecret,       // the name has a secret and the submission brought none
        WrongSecret,    // ... and the submission brought another
    };
    Outcome outcome = Outcome::Added;
    StoredRun run;
    // The name's secret is the one made for this submission (newSecretHash): the player is to
    // be given it.
    bool secretIsNew = false;
    // The run became its player's best on its board: the table changed.
    bool newBest = false;
};

// Who holds a name, or a name that looks like it.
struct Holder {
    std::string name;
    bool sameKey = false;    // the same name (the case aside); else only a look-alike
    std::string secretHash;  // empty for a name stored before names had secrets
};

// What a player found by its name key makes of a submission's secret (both stores decide alike).
enum class SecretCheck {
    Matches,  // the submission brought the name's secret
    Own,      // the name's secret is the one made for this submission (a store retried)
    Claim,    // the name has no secret yet: it takes the one made for this submission
    Missing,  // the name has a secret, the submission none
    Wrong,    // the name has another secret
};
inline SecretCheck CheckSecret(const std::string& storedHash, const NewRun& run) {
    if (storedHash.empty()) return SecretCheck::Claim;
    if (storedHash == run.newSecretHash) return SecretCheck::Own;
    if (run.secretHash.empty()) return SecretCheck::Missing;
    return storedHash == run.secretHash ? SecretCheck::Matches : SecretCheck::Wrong;
}

// Whether the check refuses the add (`result` then says why); a secret made for this
// submission marks the result so that its player is given it. A Claim is the store's to make.
inline bool RefusedBySecret(SecretCheck check, AddResult& result) {
    switch (check) {
        case SecretCheck::Missing:
            result.outcome = AddResult::Outcome::NoSecret;
            return true;
        case SecretCheck::Wrong:
            result.outcome = AddResult::Outcome::WrongSecret;
            return true;
        case SecretCheck::Own:
            result.secretIsNew = true;
            return false;
        case SecretCheck::Matches:
        case SecretCheck::Claim:
            return false;
    }
    return false;
}

// A store that cannot be reached or refuses a statement throws this.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// The store is away (being reconnected), or every connection stayed busy past the pool's wait:
// worth trying again in a moment.
struct StoreUnavailable : StoreError {
    using StoreError::StoreError;
};

class Store {
  public:
    virtual ~Store() = default;
    // Stores the run once: in one transaction, the player by its key (made on first use, with
    // the new secret; a player without a secret takes it) after its secret is checked, the run
    // by its hash, its replay, and the player's best on the run's board.
    virtual AddResult Add(const NewRun& run) = 0;
    virtual std::optional<StoredRun> FindByHash(const std::string& hash) = 0;
    // The player holding the name key, else one whose name has that skeleton.
    virtual std::optional<Holder> HolderOf(const std::string& key, const std::string& skeleton) = 0;
    // The best run of each player on `board`, best first; of equal scores the one stored first.
    // Costs `limit` rows of an index, however many runs are stored.
    virtual std::vector<TableRow> Top(int limit, Board board) = 0;
    virtual std::optional<StoredRun> Run(std::int64_t id) = 0;
    virtual std::optional<std::string> Replay(std::int64_t id) = 0;
    // Where the run stands on its board: 1 + the other players' best runs there ahead of it (a
    // higher score, or the same stored earlier). Counts index entries: the bests ahead.
    virtual int Rank(std::int64_t id) = 0;
    // Every run's id and reaction lines, in the order stored (for re-judging).
    virtual std::vector<std::pair<std::int64_t, std::string>> ReactionLines() = 0;
    // A run judged anew, its player's bests made again with it (it may change board); false
    // when there is no such run.
    virtual bool SetVerdict(std::int64_t id, const Verdict& verdict) = 0;
};

// `where` is a file name (SQLite) or a postgresql:// / postgres:// URI (PostgreSQL). Throws
// StoreError when the store cannot be opened or brought up to date.
std::unique_ptr<Store> OpenStore(const std::string& where);
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
std::unique_ptr<Store> OpenPostgresStore(const std::string& conninfo);

}  // namespace scores
