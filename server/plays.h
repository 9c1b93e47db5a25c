// Admission and the verification queue, behind one interface: who may have a play queued (plays
// per address, CPU seconds per address over a window, the queue's room), and the workers that
// play each queued run and store it. In one process (LocalPlays, with SQLite), or shared by every
// server and `--verify-only` process over one PostgreSQL (OpenSharedPlays).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "store.h"
#include "verifier.h"

namespace scores {

// A run admitted for a play: everything its store step needs once it has verified, so that any
// worker, in any process, can play and store it without the request.
struct QueuedRun {
    std::string address;     // as the request came (for the log)
    std::string addressKey;  // what it is counted under (AddressKey)
    PlayRequest play;        // the bytes as submitted, and the play's CPU limit
    std::string name;
    std::string nameKey;
    std::string skeleton;
    std::string secretHash;     // of the key the submission brought; empty: none
    std::string newSecretHash;  // of the key made for it, which a name without one takes
    std::string hash;           // the run's identity (of its canonical text)
    std::string program;        // the version it was recorded by (and is played by)
};

// What became of a queued run: its play, then its store step.
struct Finished {
    enum class Step {
        Played,      // the play refused it (`played` says how); nothing stored
        Unreadable,  // it verified, but its reaction lines cannot be read
        StoreAway,   // verified, and the store failed for as long as it was tried
        Stored,      // the store answered: `added`
    };
    Step step = Step::Played;
    Verification played;  // its reaction lines are not kept here
    AddResult added;
};

struct PlaysConfig {
    int workers = 2;             // plays at once in this process
    int queue = 16;              // plays waiting at most; more answer Full
    int playsPerAddress = 2;     // plays an address may have waiting or under way; 0: any
    double cpuPerAddress = 300;  // CPU seconds an address may have charged in the window; 0: any
    int cpuWindowSeconds = 600;
    int leaseSeconds = 30;  // a shared queue's lease on a job being played, renewed meanwhile
    std::string version;    // the program version this process plays (a shared queue's)
};

class Plays {
  public:
    // Plays a run (Verify by default).
    using Work = std::function<Verification(const PlayRequest&)>;
    // Stores a run that has been played (StorePlayed).
    using Keep = std::function<Finished(const QueuedRun&, const Verification&)>;
    // Called once, on some thread of this process, when the run is played and stored.
    using Answer = std::function<void(const Finished&)>;

    enum class Refusal {
        None,
        CpuShare,     // the address has used its CPU seconds in the window (`wait`: until when)
        AddressBusy,  // the address has its plays waiting or under way already
        Full,         // the queue is full
    };
    struct Admitted {
        Refusal refusal = Refusal::None;
        int wait = 0;  // seconds, for a CpuShare refusal
    };

    virtual ~Plays() = default;
    // The address is charged the play's CPU limit at once and admitted, or refused (then
    // `answer` is dropped uncalled and nothing is charged). A shared queue throws StoreError
    // when the store cannot be reached.
    virtual Admitted Submit(QueuedRun run, Answer answer) = 0;
};

// The queue and the budgets in this process's memory.
std::unique_ptr<Plays> LocalPlays(const PlaysConfig& config, Plays::Work work, Plays::Keep keep);

// The queue and the budgets in `store`'s database, shared by every process over it; null when
// the store keeps none (SQLite). The store must outlive what this returns.
std::unique_ptr<Plays> OpenSharedPlays(Store& store, const PlaysConfig& config, Plays::Work work,
                                       Plays::Keep keep);

}  // namespace scores
