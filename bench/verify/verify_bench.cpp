// CPU per verified run: the real program plays a golden replay with --verify as the score server
// runs it (server/verifier.cpp: a fresh folder holding a link to the archive, that folder as
// HOME, --data-dir and TMPDIR, the headless host, nothing else in the environment), and the
// child's user + system time is taken from wait4. Each play must verify and report the golden
// checksum, or the benchmark fails.
//   build/bench/verify/tavlo_verify_bench [--tavlo PROGRAM] [--archive RKA] [benchmark flags]
// --tavlo and --archive measure another build (an earlier one, for the figures before a change).
// "Time" is the child's CPU time (manual time); rounds/s/core is one over it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string program = TAVLO_BINARY;
std::string archive = TAVLO_ARCHIVE;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The report's "checksum" line.
std::string ChecksumLine(const std::string& report) {
    const std::size_t at = report.find("\nchecksum ");
    return at == std::string::npos ? "" : report.substr(at + 1, report.find('\n', at + 1) - at);
}

struct Play {
    bool ok = false;
    std::string why;
    double cpuSeconds = 0;
};

// One play of `arguments` in a fresh folder, as the server makes it.
Play PlayOnce(const std::vector<std::string>& arguments, const std::string& expect) {
    Play play;
    char pattern[] = "/tmp/tavlo-verify-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        play.why = "no folder";
        return play;
    }
    const std::string folder = pattern;
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::absolute(archive), folder + "/tavlo.rka",
                                    error);
    const std::string report = folder + "/report.txt";
    std::vector<std::string> argv = {program};
    for (const std::string& a : arguments) argv.push_back(a == "DIR" ? folder : a);
    const std::vector<std::string> env = {"PATH=/usr/bin:/bin",      "HOME=" + folder,
                                          "XDG_DATA_HOME=" + folder, "TMPDIR=" + folder,
                                          "TAVLO_VIDEO=headless",    "SDL_VIDEODRIVER=dummy",
                                          "LC_ALL=C.UTF-8"};
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_RDWR);
        if (out < 0 || null < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::dup2(null, 0);
        ::dup2(out, 1);
        ::dup2(null, 2);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        play.why = "the program could not be run";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        play.why = program + " ended with status " + std::to_string(status);
    } else if (!expect.empty() && ChecksumLine(ReadText(report)) != expect) {
        play.why = "the report's checksum is not the golden one: " + ReadText(report);
    } else {
        play.ok = true;
    }
    play.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::filesystem::remove_all(folder, error);
    return play;
}

void Measure(benchmark::State& state, const std::vector<std::string>& arguments,
             const std::string& expect) {
    double total = 0;
    for (auto _ : state) {
        const Play play = PlayOnce(arguments, expect);
        if (!play.ok) {
            state.SkipWithError(play.why.c_str());
            return;
        }
        state.SetIterationTime(play.cpuSeconds);
        total += play.cpuSeconds;
    }
    const double each = total / static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = each * 1000;
    state.counters["rounds/s/core"] = each > 0 ? 1 / each : 0;
}

// One golden replay verified: round (the long round, 6,373 pictures) and quit (the title and
// QUIT, 160 pictures: start-up and little else).
void BM_Verify(benchmark::State& state, const char* name) {
    const std::string replay = std::string(TAVLO_REPLAYS) + "/" + name + ".replay";
    const std::string expect =
        ChecksumLine(ReadText(std::string(TAVLO_REPLAYS) + "/" + name + ".report"));
    Measure(state, {"--data-dir", "DIR", "--replay", replay, "--verify"}, expect);
}
BENCHMARK_CAPTURE(BM_Verify, round, "round")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Verify, quit, "quit")->UseManualTime()->Unit(benchmark::kMillisecond);

// The program started and ended at once (--version): the dynamic loader and the libraries'
// own start.
void BM_Version(benchmark::State& state) {
    Measure(state, {"--version"}, "");
}
BENCHMARK(BM_Version)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if ((flag == "--tavlo" || flag == "--archive") && i + 1 < argc) {
            (flag == "--tavlo" ? program : archive) = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--tavlo PROGRAM] [--archive RKA] [benchmark flags]\n",
                         argv[0]);
            return 2;
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
