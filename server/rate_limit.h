// Submissions per address: at most N in any minute. A sliding window of the times of each
// address's recent submissions; addresses with none left in the window are forgotten.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace scores {

class RateLimit {
  public:
    using Clock = std::chrono::steady_clock;
    explicit RateLimit(int perMinute) : perMinute_(perMinute) {}

    // Counts a submission from `address` at `now`. Returns 0 when it may go on, otherwise the
    // seconds until it could (for Retry-After). perMinute 0 means no limit.
    int Take(const std::string& address, Clock::time_point now = Clock::now());

  private:
    int perMinute_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::deque<Clock::time_point>> recent_;
    Clock::time_point lastSweep_{};
};

}  // namespace scores
