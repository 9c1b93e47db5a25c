// Verification: the submitted replay played by the game program itself (`tavlo --replay FILE
// --verify`, headless) in a child process, in a scratch folder with the archive, under CPU-time,
// memory and wall-clock limits. The score is what that play reports.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
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
    int cpuSeconds = 20;  // RLIMIT_CPU of a play
    int memoryMiB = 512;  // RLIMIT_AS of a play; 0 for none (sanitizer builds reserve terabytes)
    int wallSeconds = 60;
};

struct Verification {
    enum class Outcome {
        Verified,       // played to its end; `score` is its best round's
        NoRound,        // played to its end without finishing a round
        DidNotVerify,   // the program refused the replay or the run went another way
        OverLimits,     // the play overran its time or memory
        ServerTrouble,  // the play could not be run
    };
    Outcome outcome = Outcome::ServerTrouble;
    int score = 0;
    std::string detail;  // what the program said, for the log and the player
};

// Plays `replay`. Safe to call from several threads at once.
Verification Verify(const VerifierConfig& config, const std::string& replay);

// The program's version ("1.0.0" from "tavlo 1.0.0"), or empty when it cannot be run.
std::string ProgramVersion(const VerifierConfig& config);

// Reads a --verify report: the best score of its "round N: score S, best B" lines, or nullopt
// when it holds no round.
std::optional<int> BestRoundScore(const std::string& report);

// A fixed number of workers and a bounded queue in front of them: Submit refuses at once when
// the queue is full, so that a burst of submissions costs the server nothing but the refusals.
class VerifyQueue {
  public:
    using Work = std::function<Verification(const std::string&)>;
    // Called on the worker once the play is done (a `work` that throws: ServerTrouble).
    using Done = std::function<void(const Verification&)>;
    VerifyQueue(int workers, int capacity, Work work);
    ~VerifyQueue();
    VerifyQueue(const VerifyQueue&) = delete;
    VerifyQueue& operator=(const VerifyQueue&) = delete;

    // nullopt when every worker is busy and `capacity` plays are already waiting; `done`, if
    // given, is then dropped uncalled.
    std::optional<std::future<Verification>> Submit(std::string replay, Done done = nullptr);

  private:
    struct Job {
        std::string replay;
        std::promise<Verification> done;
        Done then;
    };
    void Worker();

    Work work_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
    std::size_t idle_ = 0;  // workers waiting for a job
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace scores
