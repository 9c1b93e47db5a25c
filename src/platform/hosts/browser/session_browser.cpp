// The page's recording and watching (session_browser.h). The recording host and the playing host
// are the native program's (replay/replay_host.h), in front of the browser host; the file format
// is the native one, so a run recorded here verifies on the score server, and a run recorded
// anywhere plays here. The page's side (session.js) fetches the run to watch into
// kWatched before main, and reads kRecording back when the player sends a run.
#include "session_browser.h"

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "checksums.h"
#include "files.h"
#include "game_random.h"
#include "host_browser.h"
#include "replay.h"
#include "replay_host.h"
#include "system.h"
#include "tavlo_version.h"

// Each of these is defined on Module.tavloHost by session.js.
EM_JS(int, tavlo_session_watching, (), { return Module.tavloHost.watching ? 1 : 0; });
EM_JS(void, tavlo_session_round, (int score, int best),
      { Module.tavloHost.roundEnded(score, best); });
EM_JS(void, tavlo_session_watched, (int outcome, int rounds, int best, const char* detail),
      { Module.tavloHost.watchEnded(outcome, rounds, best, UTF8ToString(detail)); });
EM_JS(void, tavlo_session_recorded, (), { Module.tavloHost.recordingEnded(); });

namespace host {
namespace {

using replay::Replay;
using replay::ReplayHost;

// The page's files in memory: the recording of this game, the run to watch (session.js puts it
// there), and a recording sent to a server, ended where the player pressed the button.
constexpr const char* kRecording = "/session/run.replay";
constexpr const char* kWatched = "/session/watch.replay";
constexpr const char* kSnapshot = "/session/submit.replay";
// A run is watched in a folder of its own: the archive, and the score file it was recorded with.
constexpr const char* kWatchFolder = "/watch";

// What session.js hears when a watched run ends (watchEnded's first argument).
enum Outcome { kPlayed = 0, kStopped = 1, kDiverged = 2, kRefused = 3 };

struct PageSession {
    bool watching = false;
    bool seeded = false;
    Replay replay;  // the header being recorded, or the run being watched
    std::FILE* out = nullptr;
    long seedOffset = -1;
    ReplayHost* host = nullptr;
    int rounds = 0;
    int bestRound = -1;
    bool diverged = false;
    std::string detail;
};

PageSession session;

unsigned Seed(unsigned given) {
    if (session.seeded) return given;
    session.seeded = true;
    if (session.watching) return session.replay.seed.value_or(given);
    if (session.out && session.seedOffset >= 0) {
        // The header's seed field, written as "none" and padded, is filled in where it stands.
        const long end = std::ftell(session.out);
        std::fseek(session.out, session.seedOffset, SEEK_SET);
        std::fputs(replay::SeedField(given).c_str(), session.out);
        std::fseek(session.out, end, SEEK_SET);
        std::fflush(session.out);
    }
    return given;
}

// The game tells a debugger each round's result: "score N, best M". (It also tells each hit's
// facts, "picture K shown" and "key V taken", for the native session's reaction lines; they do
// not read as a round.)
void RoundEnded(const char* text) {
    int score = 0;
    int best = 0;
    if (std::sscanf(text, "score %d, best %d", &score, &best) != 2) return;
    ++session.rounds;
    if (score > session.bestRound) session.bestRound = score;
    if (!session.watching) tavlo_session_round(score, best);
}

// At the end of the game, however it ends: a recording gets its end line, a watched run is
// judged as the native --replay judges it, and the page is told.
void Finish() {
    if (!session.host) return;
    const ReplayHost& host = *session.host;
    if (!session.watching) {
        if (session.out) {
            std::fputs(replay::EndLine(host.Elapsed(), host.Frames()).c_str(), session.out);
            std::fclose(session.out);
            session.out = nullptr;
            tavlo_session_recorded();
        }
        return;
    }
    const Replay& replay = session.replay;
    int outcome = kPlayed;
    if (session.diverged) {
        outcome = kDiverged;
    } else if (host.Delivered() < replay.events.size() ||
               (!replay.cut &&
                (host.Elapsed() != replay.endAt || host.Frames() != replay.endFrames))) {
        // The watcher pressed Pause (or closed): the run stopped before its end.
        outcome = kStopped;
    }
    tavlo_session_watched(outcome, session.rounds, session.bestRound, session.detail.c_str());
}

// The page says why in the player's language, whichever is chosen by then: the reasons go
// to it unfilled (Said::Json).
void Diverged(int line, const platform::Said& message) {
    session.diverged = true;
    session.detail = platform::said("line {1}: {2}", {std::to_string(line), message}).Json();
    std::exit(1);
}

bool Refuse(const platform::Said& why) {
    tavlo_session_watched(kRefused, 0, -1, why.Json().c_str());
    return false;
}

bool LinkArchive() {
    std::error_code error;
    std::filesystem::copy_symlink("tavlo.rka", std::string(kWatchFolder) + "/tavlo.rka", error);
    return !error;
}

bool StartWatching() {
    if (auto refused =
            replay::ReadFitting(kWatched, replay::ArchiveHere::ThisPage, session.replay)) {
        return Refuse(*refused);
    }
    const Replay& replay = session.replay;
    // The watched run's own folder: the player's best score stays where it is, untouched.
    if (!platform::MakeFolders(kWatchFolder) || !LinkArchive() ||
        (replay.scores && !platform::ReplaceFile(std::string(kWatchFolder) + "/score.dat",
                                                 *replay.scores, platform::Existing::Replace)
                               .ok) ||
        !platform::ChangeFolder(kWatchFolder)) {
        return Refuse(platform::said("no folder to play it in"));
    }
    return true;
}

bool StartRecording() {
    Replay& header = session.replay;
    header.program = TAVLO_VERSION;
    header.archive = replay::WorkingArchiveChecksum();
    const platform::FileRead score =
        platform::ReadRegularFile("score.dat", 4, platform::Beyond::KeepFirst);
    if (score.ok()) header.scores = score.bytes;
    // Without a recording the game plays all the same; only sending it is not offered.
    if (platform::MakeFolders("/session")) session.out = platform::OpenStream(kRecording, "w+b");
    return true;
}

void Poll() {
    if (session.watching && session.replay.cut && session.host->Elapsed() >= session.replay.endAt) {
        std::exit(1);  // where the recording was stopped: the run ends, played to its end
    }
}

}  // namespace

bool StartPageSession() {
    session.watching = tavlo_session_watching() != 0;
    platform::SetSeedFilter(Seed);
    SetDebugListener(RoundEnded);
    if (!(session.watching ? StartWatching() : StartRecording())) return false;
    std::atexit(Finish);
    return true;
}

Host* CreatePageSessionHost() {
    std::unique_ptr<Host> inner(CreateBrowserHost());
    if (session.watching) {
        session.host =
            new ReplayHost(std::move(inner), ReplayHost::Mode::Play, session.replay.clockStart);
        session.host->PlayFrom(&session.replay);
        session.host->onDiverged = Diverged;
    } else {
        session.replay.clockStart = inner->Milliseconds();
        session.host =
            new ReplayHost(std::move(inner), ReplayHost::Mode::Record, session.replay.clockStart);
        if (session.out) {
            const std::string header = replay::HeaderText(session.replay);
            std::fputs(header.c_str(), session.out);
            session.seedOffset = static_cast<long>(header.find("\nseed ") + 6);
            std::fflush(session.out);
            session.host->RecordTo(session.out);
        }
    }
    session.host->onPoll = Poll;
    return session.host;
}

}  // namespace host

extern "C" {

// The recording so far, ended where the game now waits (the page runs only while the game waits
// in an empty poll, after the poll's count moved on): a cut line at that poll, as the native
// recorder writes one when it is stopped. Written to kSnapshot; its size, or 0 when there is no
// recording.
EMSCRIPTEN_KEEPALIVE int tavlo_session_snapshot() {
    using host::session;
    if (session.watching || !session.out || !session.host || session.host->Elapsed() == 0) {
        return 0;
    }
    std::fflush(session.out);
    platform::FileRead read =
        platform::ReadRegularFile(host::kRecording, host::replay::kMaxFileBytes);
    if (!read.ok()) return 0;
    read.bytes += host::replay::EndLine(session.host->Elapsed() - 1, session.host->Frames(), true);
    if (!platform::ReplaceFile(host::kSnapshot, read.bytes, platform::Existing::Replace).ok) {
        return 0;
    }
    return static_cast<int>(read.bytes.size());
}

}  // extern "C"
