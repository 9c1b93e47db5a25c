// What the benchmarks that run the real program share: the clock, an Xvfb of their own, the
// game's scratch folder and its start, the logs it writes, and the figures.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// CLOCK_MONOTONIC, as the host's logs write it.
long long NowMicroseconds();
void SleepMicroseconds(long long us);

double Percentile(std::vector<double> values, double p);
double Mean(const std::vector<double>& values);

// An Xvfb of 1280×960×24 on the first free display from `first` (19 tried); its pid, or -1.
pid_t StartXvfb(int first, std::string& display);
// SIGTERM, then waits for it.
void Stop(pid_t pid);
// Waits up to `ms` for it to end, then kills it; its exit code (−signal when killed).
int WaitOrKill(pid_t pid, int ms);

// A folder of its own for one run of the game: the archive and a best score of zero. Empty when
// it cannot be made.
std::string MakeGameFolder(const std::string& archive);
void RemoveFolder(const std::string& folder);

// Starts `game` in `folder` (its HOME too, so settings and screenshots stay there) with the
// host's measuring variables cleared and then `environment` set; standard output discarded.
pid_t StartGame(const std::string& game, const std::string& folder,
                const std::map<std::string, std::string>& environment);

// TAVLO_FLIP_LOG's lines: each flip's time and when its picture was on the window (µs).
struct FlipLog {
    std::vector<long long> flips, presented;
};
FlipLog ReadFlipLog(const std::string& path);

struct Window {
    long long from, to;  // µs
};
// The rounds' play: the flips between the countdown's last 900 ms pause and the rating's
// 2000 ms hold.
std::vector<Window> PlayWindows(const std::vector<long long>& flips);

// One way of running the program, as the command line names it: MODE, or LABEL=MODE, or either
// with @PATH for another build of the program (an earlier one, for comparison in the same run).
struct Variant {
    std::string label, mode, game;
};
std::vector<Variant> ParseVariants(const std::string& list, const std::string& game);

}  // namespace bench
