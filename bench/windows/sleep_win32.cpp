// How late the sleep to a moment wakes on Windows. Each iteration sleeps until 1 ms after now and
// records how late it woke: platform::SleepUntil (a high-resolution waitable timer where the
// system has one), Sleep(1) with the system timer at 1 ms (timeBeginPeriod, the fallback), and
// Sleep(1) as the system's timer leaves it. Counters: the median and the 99th percentile of the
// lateness in microseconds, and whether the system made a high-resolution timer.
//   scripts/windows.sh bench (under Wine)
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "system.h"

namespace {

constexpr std::int64_t kMillisecond = 1000000;
constexpr int kSleeps = 1000;

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

void Report(benchmark::State& state, std::vector<std::int64_t>& late) {
    std::sort(late.begin(), late.end());
    const auto at = [&](double q) {
        return static_cast<double>(late[static_cast<size_t>(q * (late.size() - 1))]) / 1000.0;
    };
    state.counters["late_median_us"] = at(0.5);
    state.counters["late_p99_us"] = at(0.99);
    state.counters["late_max_us"] = at(1.0);
}

template <typename SleepOnce>
void Measure(benchmark::State& state, SleepOnce sleep) {
    std::vector<std::int64_t> late;
    late.reserve(kSleeps);
    for (auto _ : state) {
        const std::int64_t due = platform::MonotonicNanoseconds() + kMillisecond;
        sleep(due);
        late.push_back(platform::MonotonicNanoseconds() - due);
    }
    Report(state, late);
}

void BM_SleepUntil(benchmark::State& state) {
    const HANDLE timer = CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    state.counters["high_resolution_timer"] = timer ? 1 : 0;
    if (timer) CloseHandle(timer);
    Measure(state, [](std::int64_t due) { platform::SleepUntil(due); });
}

void BM_SleepWithPeriod1ms(benchmark::State& state) {
    timeBeginPeriod(1);
    Measure(state, [](std::int64_t) { Sleep(1); });
    timeEndPeriod(1);
}

void BM_SleepDefaultPeriod(benchmark::State& state) {
    Measure(state, [](std::int64_t) { Sleep(1); });
}

BENCHMARK(BM_SleepUntil)->Iterations(kSleeps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SleepWithPeriod1ms)->Iterations(kSleeps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SleepDefaultPeriod)->Iterations(kSleeps)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
