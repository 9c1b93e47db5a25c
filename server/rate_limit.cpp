#include "rate_limit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scores {

std::string AddressKey(const std::string& address) {
    in6_addr six{};
    if (inet_pton(AF_INET6, address.c_str(), &six) != 1) return address;
    char text[INET6_ADDRSTRLEN];
    if (IN6_IS_ADDR_V4MAPPED(&six)) {
        return inet_ntop(AF_INET, &six.s6_addr[12], text, sizeof text) ? text : address;
    }
    std::memset(&six.s6_addr[8], 0, 8);
    return inet_ntop(AF_INET6, &six, text, sizeof text) ? std::string(text) + "/64" : address;
}

int BudgetWait(const std::vector<Charged>& charges, double seconds, double budget) {
    double total = seconds;
    for (const Charged& c : charges) total += c.seconds;
    if (total <= budget + 1e-9) return 0;
    // Until enough of the oldest charges leave the window.
    double over = total - budget;
    double free = 0;
    for (const Charged& c : charges) {
        free = c.leavesIn;
        over -= c.seconds;
        if (over <= 1e-9) break;
    }
    return std::max(1, static_cast<int>(std::ceil(free)));
}

CpuBudget::Charge CpuBudget::Take(const std::string& key, double seconds, Clock::time_point now) {
    Charge charge;
    if (budget_ <= 0) return charge;
    seconds = std::min(seconds, budget_);
    std::lock_guard lock(mutex_);
    // Now and then, the addresses that have gone quiet are dropped, so that a spread of many
    // addresses does not grow the map for ever.
    if (now - lastSweep_ > window_) {
        for (auto it = spent_.begin(); it != spent_.end();) {
            it = it->second.empty() || now - it->second.back().when >= window_ ? spent_.erase(it)
                                                                               : std::next(it);
        }
        lastSweep_ = now;
    }
    std::deque<Spent>& spent = spent_[key];
    while (!spent.empty() && now - spent.front().when >= window_) spent.pop_front();
    std::vector<Charged> charges;
    for (const Spent& s : spent) {
        charges.push_back(
            {std::chrono::duration<double>(s.when + window_ - now).count(), s.seconds});
    }
    charge.wait = BudgetWait(charges, seconds, budget_);
    if (charge.wait > 0) return charge;
    charge.id = next_++;
    spent.push_back({now, seconds, charge.id});
    return charge;
}

void CpuBudget::Settle(const std::string& key, std::uint64_t id, double used) {
    std::lock_guard lock(mutex_);
    const auto found = spent_.find(key);
    if (found == spent_.end()) return;
    for (Spent& s : found->second) {
        if (s.id == id) s.seconds = std::min(s.seconds, std::max(0.0, used));
    }
}

}  // namespace scores
