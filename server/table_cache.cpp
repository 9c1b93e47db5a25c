#include "table_cache.h"

#include <exception>

namespace scores {

TableCache::TableCache(Store& store, std::chrono::milliseconds timeToLive, Renderer render)
    : store_(store), timeToLive_(timeToLive), render_(std::move(render)) {}

std::shared_ptr<const Tables> TableCache::Fresh() {
    std::lock_guard lock(mutex_);
    if (tables_ && std::chrono::steady_clock::now() - readAt_ < timeToLive_) return tables_;
    return nullptr;
}

std::shared_ptr<const Tables> TableCache::Get() {
    std::unique_lock lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (tables_ && now - readAt_ < timeToLive_) return tables_;
    if (reading_ && readingGeneration_ == generation_) {
        const std::shared_future<Shared> reading = *reading_;
        lock.unlock();
        return reading.get();
    }
    std::promise<Shared> promise;
    const std::shared_future<Shared> mine = promise.get_future().share();
    reading_ = mine;
    const std::uint64_t generation = readingGeneration_ = generation_;
    lock.unlock();

    Shared read;
    try {
        auto made = std::make_shared<Tables>();
        made->human = store_.Top(kTableRows, Board::Human);
        made->assisted = store_.Top(kTableRows, Board::Assisted);
        if (render_) {
            for (const TableRow& row : made->human) made->humanRendered.push_back(render_(row));
            for (const TableRow& row : made->assisted) {
                made->assistedRendered.push_back(render_(row));
            }
        }
        read = std::move(made);
    } catch (...) {
        promise.set_exception(std::current_exception());
        lock.lock();
        if (readingGeneration_ == generation) reading_.reset();
        throw;
    }
    promise.set_value(read);
    lock.lock();
    if (generation == generation_) {
        tables_ = read;
        readAt_ = now;  // its age counts from before the read
        reading_.reset();
    }
    return read;
}

void TableCache::Invalidate() {
    std::lock_guard lock(mutex_);
    ++generation_;
    tables_.reset();
}

}  // namespace scores
