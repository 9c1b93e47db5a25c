// The queue and the budgets of one process: CpuBudget and VerifyQueue, as the server had them
// before several servers could share a database.
#include "plays.h"

#include "rate_limit.h"

namespace scores {

namespace {

class Local final : public Plays {
  public:
    Local(const PlaysConfig& config, Work work, Keep keep)
        : keep_(std::move(keep)),
          budget_(config.cpuPerAddress, std::chrono::seconds(config.cpuWindowSeconds)),
          queue_(config.workers, config.queue, config.playsPerAddress, std::move(work)) {}

    Admitted Submit(QueuedRun run, Answer answer) override {
        Admitted admitted;
        const std::string key = run.addressKey;
        const CpuBudget::Charge charge = budget_.Take(key, run.play.cpuSeconds);
        if (charge.wait > 0) {
            admitted.refusal = Refusal::CpuShare;
            admitted.wait = charge.wait;
            return admitted;
        }
        PlayRequest play = run.play;
        // On the queue's worker, once played: the charge settled at what the play took, then
        // the run stored and answered.
        const auto played = [this, key, id = charge.id, run = std::move(run),
                             answer = std::move(answer)](const Verification& verified) {
            budget_.Settle(key, id, verified.cpuUsed);
            answer(keep_(run, verified));
        };
        const VerifyQueue::Admitted queued = queue_.Submit(key, std::move(play), played);
        if (queued.refusal != VerifyQueue::Refusal::None) {
            budget_.Settle(key, charge.id, 0);
            admitted.refusal = queued.refusal == VerifyQueue::Refusal::AddressBusy
                                   ? Refusal::AddressBusy
                                   : Refusal::Full;
        }
        return admitted;
    }

  private:
    Keep keep_;
    CpuBudget budget_;
    VerifyQueue queue_;  // last: its workers, which use the rest, end first
};

}  // namespace

std::unique_ptr<Plays> LocalPlays(const PlaysConfig& config, Plays::Work work, Plays::Keep keep) {
    return std::make_unique<Local>(config, std::move(work), std::move(keep));
}

}  // namespace scores
