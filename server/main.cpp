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
#include "service.h"
#include "store.h"

namespace {

constexpr const char* kUsage =
    "usage: tavlo-scores [--db FILE|postgresql://...] [--listen HOST:PORT]\n"
    "                    [--program TAVLO] [--archive TAVLO.RKA] [--scratch DIR]\n"
    "                    [--workers N] [--queue N] [--rate N] [--verify-cpu SECONDS]\n"
    "                    [--verify-memory MIB] [--verify-time SECONDS]\n"
    "                    [--trust-forwarded] [--connections-per-address N]\n"
    "                    [--watch-url PREFIX] [--site DIR]\n"
    "\n"
    "  --db             an SQLite file (made if missing) or a PostgreSQL URI (default "
    "scores.sqlite)\n"
    "  --listen         where to serve HTTP (default 127.0.0.1:8015)\n"
    "  --program        the game program that plays each run (default " TAVLO_SCORES_PROGRAM
    ")\n"
    "  --archive        its tavlo.rka (default " TAVLO_SCORES_ARCHIVE
    ")\n"
    "  --scratch        where plays get their scratch folders (default $TMPDIR or /tmp)\n"
    "  --workers        plays at once (default: the number of cores)\n"
    "  --queue          plays waiting at most; beyond it 503 (default 16)\n"
    "  --rate           submissions an address may make a minute, 0 for no limit (default 6)\n"
    "  --verify-cpu     CPU seconds a play may take (default 20)\n"
    "  --verify-memory  MiB of address space a play may take, 0 for no limit (default 512)\n"
    "  --verify-time    wall-clock seconds a play may take (default 60)\n"
    "  --trust-forwarded  take the client's address from X-Forwarded-For (behind a proxy only)\n"
    "  --connections-per-address  connections one address may hold open at once, 0 for no\n"
    "                   limit (default 32; behind a proxy, every connection is the proxy's)\n"
    "  --watch-url      each table row links to PREFIX followed by the run's id\n"
    "                   (default /play/?replay= with --site, else /api/runs/)\n"
    "  --site           serve the game's page (a built site folder) under /play/\n";

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
        } else if (flag == "--workers") {
            ok = ToInt(value, 1, 256, &config.workers);
        } else if (flag == "--queue") {
            ok = ToInt(value, 0, 100000, &config.queue);
        } else if (flag == "--rate") {
            ok = ToInt(value, 0, 1000000, &config.perMinute);
        } else if (flag == "--verify-cpu") {
            ok = ToInt(value, 1, 3600, &config.verifier.cpuSeconds);
        } else if (flag == "--verify-memory") {
            ok = ToInt(value, 0, 1 << 20, &config.verifier.memoryMiB);
        } else if (flag == "--verify-time") {
            ok = ToInt(value, 1, 3600, &config.verifier.wallSeconds);
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

    // Without its archive every play would fail, and each player would be told the run did not
    // verify: the server does not start.
    if (std::FILE* archive = std::fopen(config.verifier.archive.c_str(), "rb")) {
        std::fclose(archive);
    } else {
        std::fprintf(stderr, "tavlo-scores: %s cannot be read (--archive)\n",
                     config.verifier.archive.c_str());
        return 1;
    }
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
