// The probe of the benchmarks' build of the program (tavlo-measured): installed before main()
// from the environment, so that the host it makes reports to it.
//
//   TAVLO_FLIP_LOG   a file that gets, for every flip, when the game flipped and when its picture
//                    was on the window (CLOCK_MONOTONIC µs, one flip a line)
//   TAVLO_INPUT_LOG  a file that gets, for every key the game receives going down, the time
//                    (CLOCK_MONOTONIC µs) and its virtual key
//   TAVLO_PACING     the way the host passes the game's waits: "millisecond" (a sleep to the
//                    start of every next millisecond, input looked for every 4 ms: the earlier
//                    way) or "spin" (no sleeping at all); otherwise the host's own
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_probe.h"
#include "system.h"

namespace {

FILE* OpenLog(const char* variable) {
    const char* name = std::getenv(variable);
    if (!name || !*name) return nullptr;
    FILE* log = std::fopen(name, "wb");
    if (!log) {
        std::fprintf(stderr, "tavlo-measured: cannot write %s\n", name);
        std::exit(2);
    }
    std::setvbuf(log, nullptr, _IOFBF, 1 << 20);
    return log;
}

class MeasuringProbe final : public host::Probe {
  public:
    enum class Pacing { Host, Millisecond, Spin };

    MeasuringProbe() {
        const char* pacing = std::getenv("TAVLO_PACING");
        const std::string mode = pacing ? pacing : "";
        if (mode == "millisecond") pacing_ = Pacing::Millisecond;
        if (mode == "spin") pacing_ = Pacing::Spin;
        flipLog_ = OpenLog("TAVLO_FLIP_LOG");
        inputLog_ = OpenLog("TAVLO_INPUT_LOG");
    }
    ~MeasuringProbe() override {
        if (flipLog_) std::fclose(flipLog_);
        if (inputLog_) std::fclose(inputLog_);
    }

    void Flipped(std::int64_t at) override {
        if (flipLog_) flips_.push_back(at);
    }
    void Presented(std::int64_t at) override {
        for (const std::int64_t flip : flips_) {
            std::fprintf(flipLog_, "%lld %lld\n", static_cast<long long>(flip / 1000),
                         static_cast<long long>(at / 1000));
        }
        flips_.clear();
    }
    void KeyDown(unsigned virtualKey, std::int64_t at) override {
        if (inputLog_) {
            std::fprintf(inputLog_, "%lld %u\n", static_cast<long long>(at / 1000), virtualKey);
        }
    }
    bool Wait(bool justDrew, std::int64_t nextMillisecond) override {
        switch (pacing_) {
            case Pacing::Spin:
                return true;
            case Pacing::Millisecond:
                if (!justDrew) platform::SleepUntil(nextMillisecond);
                return true;
            case Pacing::Host:
                break;
        }
        return false;
    }

  private:
    Pacing pacing_ = Pacing::Host;
    FILE* flipLog_ = nullptr;
    FILE* inputLog_ = nullptr;
    std::vector<std::int64_t> flips_;  // flipped, not yet presented
};

// Made and installed before main(), gone after it: the game's exit() ends the program with the
// logs flushed.
MeasuringProbe probe;
struct Install {
    Install() { host::SetProbe(&probe); }
} install;

}  // namespace
