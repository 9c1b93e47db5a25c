// Both boards' first rows in memory, for /api/top and the page: a burst of readers costs the
// store one read a few seconds at most. A new best or a verdict changed through this server
// drops the copy at once; a change made elsewhere (another server over the same PostgreSQL,
// --rejudge beside a running server) shows once the copy is older than its time to live.
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "store.h"

namespace scores {

// The most rows a reader may ask of a board (/api/top's limit, the page's rows).
inline constexpr int kTableRows = 100;

struct Tables {
    std::vector<TableRow> human;
    std::vector<TableRow> assisted;
    const std::vector<TableRow>& Of(Board board) const {
        return board == Board::Human ? human : assisted;
    }
};

class TableCache {
  public:
    TableCache(Store& store, std::chrono::milliseconds timeToLive);

    // The boards, read from the store when the copy is missing or older than its time to live.
    // Readers that come while it is being read wait for that one read and share its result, or
    // its StoreError, so that a store that is slow or away is asked once, not once a reader.
    std::shared_ptr<const Tables> Get();

    // The table changed (a new best, a verdict): the next Get reads the store.
    void Invalidate();

  private:
    using Shared = std::shared_ptr<const Tables>;

    Store& store_;
    const std::chrono::milliseconds timeToLive_;
    std::mutex mutex_;
    Shared tables_;
    std::chrono::steady_clock::time_point readAt_;
    std::uint64_t generation_ = 0;  // counts invalidations
    // The read under way, and the generation it began in: a read begun before an invalidation
    // is not shared with those who come after it, nor kept.
    std::optional<std::shared_future<Shared>> reading_;
    std::uint64_t readingGeneration_ = 0;
};

}  // namespace scores
