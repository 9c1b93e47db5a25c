// Verification: the submitted replay played by the game program itself (`tavlo --replay FILE
// --verify`, headless) in a child process, in a scratch folder with the archive, confined
// (sandbox.h) under CPU-time, memory and wall-clock limits. The score is what that play
// reports.
#pragma once

#include <condition_variable>
#include <deque>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace scores {

struct VerifierConfig {
    std::string program;  // the game program (`tavlo`)
    std::string archive;  // its tavlo.rka
    std::string scratch;  // where the scratch folders go
    // A play's CPU limit follows from its length: start-up plus a cost a picture, both with
    // room to spare (a picture cost about 204 us on the development machine), at most
    // `cpuSeconds`.
    double startSeconds = 1.0;
    int microsPerPicture = 400;
    int cpuSeconds = 120;   // the ceiling of RLIMIT_CPU of a play
    int memoryMiB = 512;    // RLIMIT_AS of a play; 0 for none (sanitizer builds reserve terabytes)
    int wallSeconds = 300;  // the ceiling of a play's wall clock (twice its CPU, and 5 s)
    unsigned layers = 7;    // the box's layers (sandbox.h): all, but in tests of each one
};

// The CPU seconds a play of `pictures` pictures may take, and its wall-clock seconds.
int PlayCpuSeconds(const VerifierConfig& config, std::uint64_t pictures);
int PlayWallSeconds(const VerifierConfig& config, int cpuSeconds);

struct Verification {
    enum class Outcome {
        Verified,       // played to its end; `score` is its best round's
        NoRound,        // played to its end without finishing a round
        DidNotVerify,   // the program refused the replay or the run went another way
        OverLimits,     // the play overran its time or memory, or crashed
        ServerTrouble,  // the play could not be run here (the server's fault, not the run's)
    };
    Outcome outcome = Outcome::ServerTrouble;
    int score = 0;
    std::string detail;     // what the program said, for the log and (but trouble) the player
    std::string reactions;  // the play's reaction lines (TAVLO_REACTIONS), after exit 0
    double cpuUsed = 0;     // CPU seconds the play took
};

// One play: the replay's bytes and its CPU limit (PlayCpuSeconds).
struct PlayRequest {
    std::string replay;
    int cpuSeconds = 20;
};

// Removes the scratch folders of plays that no server holds any longer (a server killed
// during plays), in `config.scratch`. Called once at start.
void SweepScratch(const VerifierConfig& config);

// Plays `play` in a scratch folder of its own, confined (sandbox.h). Safe to call from several
// threads at once.
Verification Verify(const VerifierConfig& config, const PlayRequest& play);

// The program's version ("1.0.0" from "tavlo 1.0.0"), or empty when it cannot be run.
std::string ProgramVersion(const VerifierConfig& config);

// Reads a --verify report: the best score of its "round N: score S, best B" lines, or nullopt
// when it holds no round.
std::optional<int> BestRoundScore(const std::string& report);

// A fixed number of workers and a bounded queue in front of them: Submit refuses at once when
// the queue is full, so that a burst of submissions costs the server nothing but the refusals.
// Addresses take turns: the next play is the next address's, and an address holds at most
// `perAddress` plays waiting or under way, so one address never keeps another's run waiting
// for more than one of its plays.
class VerifyQueue {
  public:
    using Work = std::function<Verification(const PlayRequest&)>;
    // Called on the worker once the play is done (a `work` that throws: ServerTrouble).
    using Done = std::function<void(const Verification&)>;
    VerifyQueue(int workers, int capacity, int perAddress, Work work);
    ~VerifyQueue();
    VerifyQueue(const VerifyQueue&) = delete;
    VerifyQueue& operator=(const VerifyQueue&) = delete;

    enum class Refusal { None, Full, AddressBusy };
    struct Admitted {
        Refusal refusal = Refusal::None;
        std::future<Verification> done;  // valid when refusal is None
    };
    // Full when every worker is busy and `capacity` plays are already waiting; AddressBusy
    // when `address` holds `perAddress` plays already. `done`, if given, is called on the worker
    // once the play is done; on a refusal it is dropped uncalled.
    Admitted Submit(const std::string& address, PlayRequest play, Done done = nullptr);

  private:
    struct Job {
        PlayRequest play;
        std::promise<Verification> done;
        Done then;
    };
    void Worker();

    Work work_;
    std::size_t capacity_;
    int perAddress_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::map<std::string, std::deque<Job>> waiting_;  // by address
    std::deque<std::string> turns_;                   // addresses with plays waiting, in turn
    std::map<std::string, int> held_;                 // plays waiting or under way, by address
    std::size_t waitingCount_ = 0;
    std::size_t idle_ = 0;  // workers waiting for a job
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace scores
