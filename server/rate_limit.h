// Work per address in the unit that costs: CPU seconds of plays over a sliding window. Each
// play is charged its CPU limit when it is queued and settled at what it took once it ends;
// addresses with nothing left in the window are forgotten.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace scores {

// The key an address is counted under: an IPv4 address as it is (also when written as IPv6,
// ::ffff:a.b.c.d), an IPv6 address by its /64 (one subscriber's network), anything else as it
// comes.
std::string AddressKey(const std::string& address);

// One charge in an address's window: in how many seconds it leaves the window, and its seconds.
struct Charged {
    double leavesIn;
    double seconds;
};
// The seconds until `seconds` more fit in `budget` beside `charges` (oldest first): 0 when they
// fit now, else at least 1 (a Retry-After).
int BudgetWait(const std::vector<Charged>& charges, double seconds, double budget);

class CpuBudget {
  public:
    using Clock = std::chrono::steady_clock;
    // `seconds` of CPU an address may have charged in any `window`; 0 for no limit.
    CpuBudget(double seconds, std::chrono::seconds window) : budget_(seconds), window_(window) {}

    struct Charge {
        int wait = 0;          // > 0: refused, the seconds until it could go (Retry-After)
        std::uint64_t id = 0;  // for Settle
    };
    // Charges `seconds` to `key` at `now` (at most the whole budget, so that the longest play
    // can go from a quiet address).
    Charge Take(const std::string& key, double seconds, Clock::time_point now = Clock::now());
    // The play charged as `id` took `used` seconds: the rest goes back.
    void Settle(const std::string& key, std::uint64_t id, double used);

  private:
    struct Spent {
        Clock::time_point when;
        double seconds;
        std::uint64_t id;
    };
    double budget_;
    Clock::duration window_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::deque<Spent>> spent_;
    Clock::time_point lastSweep_{};
    std::uint64_t next_ = 1;
};

}  // namespace scores
