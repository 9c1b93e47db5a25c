// Both boards' first rows in memory, for /api/top and the page: a burst of readers costs the
// store one read a few seconds at most. A new best or a verdict changed through this server
// drops the copy at once; a change made elsewhere (another server over the same PostgreSQL,
// --rejudge beside a running server) shows once the copy is older than its time to live.
// Each row is rendered once a copy too (the renderer is the API's), not once a reader.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "store.h"

namespace scores {

// The most rows a reader may ask of a board (/api/top's limit, the page's rows).
inline constexpr int kTableRows = 100;

struct Tables {
    std::vector<TableRow> human;
    std::vector<TableRow> assisted;
    // Each row as the cache's renderer wrote it, once a copy (none without a renderer).
    std::vector<std::string> humanRendered;
    std::vector<std::string> assistedRendered;
    const std::vector<TableRow>& Of(Board board) const {
        return board == Board::Human ? human : assisted;
    }
    const std::vector<std::string>& RenderedOf(Board board) const {
        return board == Board::Human ? humanRendered : assistedRendered;
    }
};

class TableCache {
  public:
    using Renderer = std::function<std::string(const TableRow&)>;
    TableCache(Store& store, std::chrono::milliseconds timeToLive, Renderer render = nullptr);

    // The boards, read from the store when the copy is missing or older than its time to live.
    // Readers that come while it is being read wait for that one read and share its result, or
    // its StoreError, so that a store that is slow or away is asked once, not once a reader.
    std::shared_ptr<const Tables> Get();
    // The copy while it is younger than its time to live, else null: never a read, never a wait
    // but for the copy's lock (held for no read), so a thread that runs sockets may ask.
    std::shared_ptr<const Tables> Fresh();

    // The table changed (a new best, a verdict): the next Get reads the store.
    void Invalidate();

  private:
    using Shared = std::shared_ptr<const Tables>;

    Store& store_;
    const std::chrono::milliseconds timeToLive_;
    const Renderer render_;
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
