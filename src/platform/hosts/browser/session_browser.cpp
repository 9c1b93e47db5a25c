// The page's recording and watching (session_browser.h). The recorder and the judge are the native
// program's (replay/recorder.h, replay/judge.h), in front of the browser host; the file format is
// the native one, so a run recorded here verifies on the score server, and a run recorded
// anywhere plays here. The page's side (session.js) fetches the run to watch into
// kWatched before main, and reads kRecording back when the player sends a run.
#include "session_browser.h"

#include <emscripten.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "files.h"
#include "game_random.h"
#include "game_report.h"
#include "host_browser.h"
#include "judge.h"
#include "recorder.h"
#include "replay.h"
#include "replay_host.h"
#include "system.h"
#include "tavlo_version.h"

// Each of these is defined on Module.tavloHost by session.js.
EM_JS(int, tavlo_session_watching, (), { return Module.tavloHost.watching ? 1 : 0; });
EM_JS(void, tavlo_session_round, (int score, int best),
      { Module.tavloHost.roundEnded(score, best); });
EM_JS(void, tavlo_page_watched, (const char* outcome, int rounds, int best, const char* detail),
      { Module.tavloHost.watchEnded(UTF8ToString(outcome), rounds, best, UTF8ToString(detail)); });
EM_JS(void, tavlo_session_recorded, (), { Module.tavloHost.recordingEnded(); });

namespace browser {
namespace {

using replay::Replay;
using replay::ReplayHost;
using replay::Verdict;

// The page's files in memory: the recording of this game, the run to watch (session.js puts it
// there), and a recording sent to a server, ended where the player pressed the button.
constexpr const char* kRecording = "/session/run.replay";
constexpr const char* kWatched = "/session/watch.replay";
constexpr const char* kSnapshot = "/session/submit.replay";
// A run is watched in a folder of its own: the archive, and the score file it was recorded with.
constexpr const char* kWatchFolder = "/watch";

// How a watched run ended. The page hears it by name (session.js, watchEnded's first argument):
// played to its end, stopped before it (Pause), went another way than recorded, refused (not a
// replay of this program).
enum Outcome { kPlayed, kStopped, kDiverged, kRefused };

void tavlo_session_watched(int outcome, int rounds, int best, const char* detail) {
    static constexpr const char* kNames[] = {"played", "stopped", "diverged", "refused"};
    tavlo_page_watched(kNames[outcome], rounds, best, detail);
}

struct PageSession {
    bool watching = false;
    replay::Recorder recorder;  // this game's, unless a run is watched
    replay::Judge judge;        // the run watched
    Replay header;              // the recording's, until the host is made
    ReplayHost* host = nullptr;
};

PageSession session;

unsigned Seed(unsigned given) {
    if (session.watching) return session.judge.Seed(given);
    session.recorder.Seeded(given);
    return given;
}

void Heard(const replay::GameReport& report) {
    const auto* round = std::get_if<replay::RoundResult>(&report);
    if (!round) return;
    if (session.watching) {
        session.judge.RoundEnded(*round);
    } else {
        tavlo_session_round(round->score, round->best);
    }
}

// At the end of the game, however it ends: a recording gets its end line, a watched run is
// judged as the native --replay judges it, and the page is told.
void Finish() {
    if (!session.host) return;
    if (!session.watching) {
        if (session.recorder.End()) tavlo_session_recorded();
        return;
    }
    const Verdict verdict = session.judge.Decide();
    // A run watched here that ends before the replay's end was stopped by the watcher (Pause, or
    // the page closed); one that went another way is told with where and why.
    int outcome = kPlayed;
    std::string detail;
    if (verdict.kind == Verdict::Kind::WentAnotherWay) {
        outcome = kDiverged;
        // The page says why in the player's language, whichever is chosen by then: the reason
        // goes to it unfilled (Said::Json).
        detail =
            platform::said("line {1}: {2}", {std::to_string(verdict.line), verdict.why}).Json();
    } else if (verdict.kind == Verdict::Kind::Stopped) {
        outcome = kStopped;
    }
    tavlo_session_watched(outcome, session.judge.Rounds(), session.judge.BestRound(),
                          detail.c_str());
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
            replay::ReadFitting(kWatched, replay::ArchiveHere::ThisPage, session.judge.replay)) {
        return Refuse(*refused);
    }
    const Replay& replay = session.judge.replay;
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
    session.header = replay::HeaderHere();
    // Without a recording the game plays all the same; only sending it is not offered.
    if (platform::MakeFolders("/session")) session.recorder.Open(kRecording, "w+b");
    return true;
}

}  // namespace

bool StartPageSession() {
    session.watching = tavlo_session_watching() != 0;
    platform::SetSeedFilter(Seed);
    replay::ListenToGame(Heard);
    if (!(session.watching ? StartWatching() : StartRecording())) return false;
    std::atexit(Finish);
    return true;
}

host::Host* CreatePageSessionHost() {
    std::unique_ptr<host::Host> inner(CreateBrowserHost());
    session.host = session.watching ? session.judge.Start(std::move(inner))
                                    : session.recorder.Start(std::move(inner), session.header);
    return session.host;
}

}  // namespace browser

extern "C" {

// The recording so far, ended where the game now waits (the page runs only while the game waits
// in an empty poll, after the poll's count moved on): a cut line at that poll, as the native
// recorder writes one when it is stopped. Written to kSnapshot; its size, or 0 when there is no
// recording.
EMSCRIPTEN_KEEPALIVE int tavlo_session_snapshot() {
    using browser::session;
    if (session.watching || !session.host || session.host->Elapsed() == 0) return 0;
    const auto recording = session.recorder.SoFar(session.host->Elapsed() - 1);
    if (!recording ||
        !platform::ReplaceFile(browser::kSnapshot, *recording, platform::Existing::Replace).ok) {
        return 0;
    }
    return static_cast<int>(recording->size());
}

}  // extern "C"
