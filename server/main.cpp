// tavlo-scores: the score server. Reads its flags, opens the store (its schema brought up to
// date), asks the game program its version, and serves until SIGINT or SIGTERM.
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "front.h"
#include "sandbox.h"
#include "service.h"
#include "store.h"

namespace {

constexpr const char* kUsage =
    "usage: tavlo-scores [--db FILE|postgresql://...] [--listen HOST:PORT]\n"
    "                    [--program TAVLO] [--archive TAVLO.RKA] [--scratch DIR]\n"
    "                    [--workers N] [--queue N] [--plays-per-address N]\n"
    "                    [--cpu-per-address SECONDS] [--cpu-window SECONDS]\n"
    "                    [--max-game-minutes N] [--verify-start MS] [--verify-per-picture US]\n"
    "                    [--verify-cpu SECONDS] [--verify-memory MIB] [--verify-time SECONDS]\n"
    "                    [--trust-forwarded] [--connections-per-address N] [--io-threads N]\n"
    "                    [--watch-url PREFIX] [--site DIR]\n"
    "                    [--unseen-ms MS] [--assisted-from N] [--rejudge]\n"
    "                    [--lease-seconds S] [--verify-only]\n"
    "\n"
    "  --db             an SQLite file (made if missing) or a PostgreSQL URI (default "
    "scores.sqlite)\n"
    "  --listen         where to serve HTTP (default 127.0.0.1:8015)\n"
    "  --program        the game program that plays each run (default " TAVLO_SCORES_PROGRAM
    ")\n"
    "  --archive        its tavlo.rka (default " TAVLO_SCORES_ARCHIVE
    ")\n"
    "  --scratch        where plays get their scratch folders (default $TMPDIR or /tmp)\n"
    "  --workers        plays at once (default: the number of cores); 0 with PostgreSQL: this\n"
    "                   server plays none, other servers or --verify-only processes play them\n"
    "  --queue          plays waiting at most; beyond it 503 (default 16)\n"
    "  --plays-per-address  plays an address may have waiting or under way, 0 for any "
    "(default 2)\n"
    "  --cpu-per-address    CPU seconds of plays an address may use in the window, 0 for no "
    "limit\n"
    "                   (default 300)\n"
    "  --cpu-window     that window, in seconds (default 600)\n"
    "  --max-game-minutes   the longest run taken, in minutes of game time (default 60)\n"
    "  --verify-start   a play's CPU limit: milliseconds for its start (default 1000) ...\n"
    "  --verify-per-picture ... and microseconds for each of its pictures (default 400)\n"
    "  --verify-cpu     the most CPU seconds any play may take (default 120)\n"
    "  --verify-memory  MiB of address space a play may take, 0 for no limit (default 512)\n"
    "  --verify-time    the most wall-clock seconds any play may take (default 300; a play\n"
    "                   gets twice its CPU limit and 5 s)\n"
    "  --trust-forwarded  take the client's address from X-Forwarded-For (behind a proxy only)\n"
    "  --connections-per-address  connections one address may hold open at once, 0 for no\n"
    "                   limit (default 32; behind a proxy, every connection is the proxy's)\n"
    "  --io-threads     threads that run the connections and answer the table (default 2)\n"
    "  --watch-url      each table row links to PREFIX followed by the run's id\n"
    "                   (default /play/?replay= with --site, else /api/runs/)\n"
    "  --site           serve the game's page (a built site folder) under /play/\n"
    "  --unseen-ms      a picture answered sooner than this after it appeared was not seen\n"
    "                   (default 100)\n"
    "  --assisted-from  runs with this many unseen pictures go on the assisted board (default 10)\n"
    "  --rejudge        judge every stored run again from its stored reaction lines by the two\n"
    "                   flags above, without playing any, and exit\n"
    "  --lease-seconds  with PostgreSQL: how long a play under way is this process's without\n"
    "                   word from it, before another takes it (default 30)\n"
    "  --verify-only    with PostgreSQL: serve no HTTP, only play the runs the servers over the\n"
    "                   database queued, and store them\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tavlo-scores: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

bool ToInt(const std::string& text, int low, int high, int* value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high) return false;
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string db = "scores.sqlite";
    std::string listen = "127.0.0.1:8015";
    scores::ServiceConfig config;
    config.verifier.program = TAVLO_SCORES_PROGRAM;
    config.verifier.archive = TAVLO_SCORES_ARCHIVE;
    const char* tmp = std::getenv("TMPDIR");
    config.verifier.scratch = tmp && *tmp ? tmp : "/tmp";
    config.workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    bool watchGiven = false;
    bool rejudge = false;
    bool verifyOnly = false;
    scores::http::Limits limits;

    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (flag == "--trust-forwarded") {
            config.trustForwarded = true;
            continue;
        }
        if (flag == "--rejudge") {
            rejudge = true;
            continue;
        }
        if (flag == "--verify-only") {
            verifyOnly = true;
            continue;
        }
        if (i + 1 >= argc) return Usage(flag + " needs a value");
        const std::string value = argv[++i];
        bool ok = true;
        if (flag == "--db") {
            db = value;
        } else if (flag == "--listen") {
            listen = value;
        } else if (flag == "--program") {
            config.verifier.program = value;
        } else if (flag == "--archive") {
            config.verifier.archive = value;
        } else if (flag == "--scratch") {
            config.verifier.scratch = value;
        } else if (flag == "--watch-url") {
            config.watch = value;
            watchGiven = true;
        } else if (flag == "--site") {
            config.site = value;
        } else if (flag == "--connections-per-address") {
            ok = ToInt(value, 0, 1000000, &limits.perAddress);
        } else if (flag == "--io-threads") {
            ok = ToInt(value, 1, 64, &limits.ioThreads);
        } else if (flag == "--workers") {
            ok = ToInt(value, 0, 256, &config.workers);
        } else if (flag == "--lease-seconds") {
            ok = ToInt(value, 1, 3600, &config.leaseSeconds);
        } else if (flag == "--queue") {
            ok = ToInt(value, 0, 100000, &config.queue);
        } else if (flag == "--plays-per-address") {
            ok = ToInt(value, 0, 100000, &config.playsPerAddress);
        } else if (flag == "--cpu-per-address") {
            int seconds = 0;
            ok = ToInt(value, 0, 1000000, &seconds);
            config.cpuPerAddress = seconds;
        } else if (flag == "--cpu-window") {
            ok = ToInt(value, 1, 86400, &config.cpuWindowSeconds);
        } else if (flag == "--max-game-minutes") {
            ok = ToInt(value, 1, 360, &config.maxGameMinutes);
        } else if (flag == "--verify-start") {
            int ms = 0;
            ok = ToInt(value, 0, 600000, &ms);
            config.verifier.startSeconds = ms / 1000.0;
        } else if (flag == "--verify-per-picture") {
            ok = ToInt(value, 1, 1000000, &config.verifier.microsPerPicture);
        } else if (flag == "--verify-cpu") {
            ok = ToInt(value, 1, 3600, &config.verifier.cpuSeconds);
        } else if (flag == "--verify-memory") {
            ok = ToInt(value, 0, 1 << 20, &config.verifier.memoryMiB);
        } else if (flag == "--verify-time") {
            ok = ToInt(value, 1, 3600, &config.verifier.wallSeconds);
        } else if (flag == "--unseen-ms") {
            ok = ToInt(value, 0, 100000, &config.rule.unseenBelowMs);
        } else if (flag == "--assisted-from") {
            ok = ToInt(value, 1, 1000000, &config.rule.assistedFrom);
        } else {
            return Usage("unknown flag " + flag);
        }
        if (!ok) return Usage(flag + " " + value + ": not a number in range");
    }
    // Each play runs in a scratch folder of its own: a program named relative to the caller's
    // folder would not be found there.
    if (config.verifier.program.find('/') != std::string::npos) {
        std::error_code error;
        const std::filesystem::path program =
            std::filesystem::absolute(config.verifier.program, error);
        if (!error) config.verifier.program = program.string();
    }
    if (!config.site.empty()) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(config.site + "/index.html", error)) {
            std::fprintf(stderr, "tavlo-scores: %s holds no index.html (--site)\n",
                         config.site.c_str());
            return 1;
        }
        // The rows link to the page beside the table, which plays the run (?replay=ID).
        if (!watchGiven) config.watch = "/play/?replay=";
    }
    const std::size_t colon = listen.rfind(':');
    int port = 0;
    if (colon == std::string::npos || !ToInt(listen.substr(colon + 1), 0, 65535, &port)) {
        return Usage("--listen wants HOST:PORT");
    }
    std::string host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }

    // Only PostgreSQL shares a queue: over SQLite a server plays its own runs.
    const bool shared = db.starts_with("postgresql://") || db.starts_with("postgres://");
    if (verifyOnly && !shared) {
        return Usage(
            "--verify-only works for the servers over a PostgreSQL database (--db "
            "postgresql://...): over SQLite, each server plays its own runs");
    }
    if (config.workers == 0 && !shared && !rejudge) {
        return Usage(
            "--workers 0 leaves the plays to other processes over a PostgreSQL "
            "database (--db postgresql://...): over SQLite nothing would play them");
    }

    // Re-judging plays nothing: the store and the rule are all it needs.
    if (rejudge) {
        try {
            const std::unique_ptr<scores::Store> store = scores::OpenStore(db);
            const int moved = scores::Rejudge(*store, config.rule);
            std::printf(
                "tavlo-scores: every run judged again (under %d ms unseen, %d or more "
                "assisted): %d changed board\n",
                config.rule.unseenBelowMs, config.rule.assistedFrom, moved);
            return 0;
        } catch (const scores::StoreError& e) {
            std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            return 1;
        }
    }

    // Without its archive every play would fail, and each player would be told the run did not
    // verify: the server does not start.
    if (std::FILE* archive = std::fopen(config.verifier.archive.c_str(), "rb")) {
        std::fclose(archive);
    } else {
        std::fprintf(stderr, "tavlo-scores: %s cannot be read (--archive)\n",
                     config.verifier.archive.c_str());
        return 1;
    }
    {
        std::error_code error;
        if (!std::filesystem::is_directory(config.verifier.scratch, error)) {
            std::fprintf(stderr, "tavlo-scores: %s is not a folder (--scratch)\n",
                         config.verifier.scratch.c_str());
            return 1;
        }
    }
    // Once, before any thread: what the kernel offers the plays' box, and the folders of
    // plays a server killed before left behind.
    std::fprintf(stderr, "tavlo-scores: %s\n", scores::ProbeSandbox().Describe().c_str());
    scores::SweepScratch(config.verifier);
    config.version = scores::ProgramVersion(config.verifier);
    if (config.version.empty()) {
        std::fprintf(stderr, "tavlo-scores: %s does not run (--program)\n",
                     config.verifier.program.c_str());
        return 1;
    }
    std::unique_ptr<scores::Store> store;
    try {
        store = scores::OpenStore(db);
    } catch (const scores::StoreError& e) {
        std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
        return 1;
    }

    // SIGINT and SIGTERM end the serving from a thread of their own; the requests under way
    // finish first.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Plays only: the queue's workers until a signal, then the plays under way finish and are
    // stored; what is still queued stays for the others.
    if (verifyOnly) {
        scores::PlaysConfig plays;
        plays.workers = std::max(1, config.workers);
        plays.leaseSeconds = config.leaseSeconds;
        plays.version = config.version;
        const std::unique_ptr<scores::Plays> workers = scores::OpenSharedPlays(
            *store, plays,
            [verifier = config.verifier](const scores::PlayRequest& play) {
                return scores::Verify(verifier, play);
            },
            [&](const scores::QueuedRun& run, const scores::Verification& verified) {
                return scores::StorePlayed(*store, config.rule, run, verified);
            });
        std::fprintf(stderr, "tavlo-scores: playing the runs queued in %s (tavlo %s, %d at once)\n",
                     db.c_str(), config.version.c_str(), plays.workers);
        int signal = 0;
        sigwait(&stops, &signal);
        return 0;
    }

    // Every connection is a descriptor: as many as the system lets this process have.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    scores::Service service(*store, config);
    scores::http::Front front(service.Http(), limits);
    if (!front.Bind(host, port)) {
        std::fprintf(stderr, "tavlo-scores: cannot listen on %s\n", listen.c_str());
        return 1;
    }
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stops, &signal);
        front.Stop();
    });
    std::fprintf(stderr, "tavlo-scores: serving on http://%s/ (runs of tavlo %s, %s)\n",
                 listen.c_str(), config.version.c_str(), db.c_str());
    front.Run();
    stopper.join();
    return 0;
}
