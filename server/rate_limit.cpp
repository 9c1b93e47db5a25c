#include "rate_limit.h"

namespace scores {

int RateLimit::Take(const std::string& address, Clock::time_point now) {
    if (perMinute_ <= 0) return 0;
    constexpr auto kWindow = std::chrono::minutes(1);
    std::lock_guard lock(mutex_);
    // Now and then, the addresses that have gone quiet are dropped, so that a spread of many
    // addresses does not grow the map for ever.
    if (now - lastSweep_ > kWindow) {
        for (auto it = recent_.begin(); it != recent_.end();) {
            it = it->second.empty() || now - it->second.back() >= kWindow ? recent_.erase(it)
                                                                          : std::next(it);
        }
        lastSweep_ = now;
    }
    std::deque<Clock::time_point>& times = recent_[address];
    while (!times.empty() && now - times.front() >= kWindow) times.pop_front();
    if (times.size() >= static_cast<std::size_t>(perMinute_)) {
        const auto wait = std::chrono::ceil<std::chrono::seconds>(kWindow - (now - times.front()));
        return std::max(1, static_cast<int>(wait.count()));
    }
    times.push_back(now);
    return 0;
}

}  // namespace scores
