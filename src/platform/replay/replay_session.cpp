// Recording and playing back: the files, the scratch folder, the report and the exit code.
#include "replay_session.h"
#include "game_random.h"

#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "catalog.h"
#include "checksums.h"
#include "files.h"
#include "game_report.h"
#include "host_headless.h"
#include "judge.h"
#include "reactions.h"
#include "recorder.h"
#include "replay.h"
#include "replay_host.h"
#include "system.h"
#include "tavlo_version.h"

namespace replay {
namespace {

using platform::Crc32;
using platform::Hex;

enum class Mode { None, Record, Play };

// A verify's exit code when the play cannot be set up here (docs/replays.md, "Exit codes").
constexpr int kCannotVerifyHere = 4;

struct Session {
    Mode mode = Mode::None;
    bool verify = false;
    host::Host* (*makeHost)() = nullptr;  // the host the run would have without a session
    std::string path;
    Recorder recorder;    // while recording
    Replay header;        // the recording's, until the host is made
    Judge judge;          // while playing: the replay, the rounds, the verdict
    std::string scratch;  // the folder a replay plays in
    ReplayHost* host = nullptr;
    std::FILE* sums = nullptr;               // TAVLO_FRAME_SUMS
    std::uint32_t runChecksum = 0;           // CRC-32 of every frame's sum line
    std::FILE* reactionsFile = nullptr;      // TAVLO_REACTIONS
    std::unique_ptr<ReactionLog> reactions;  // while recording or playing
    std::string stopped;                     // the first dialog the game showed, when it showed one
    std::function<void(const std::string&)> onNewBest;
};

Session session;
volatile std::sig_atomic_t stopSignal = 0;

// A recording stopped by a signal ends at the game's next empty poll, with a cut line; a second
// signal finds the default action again and ends the program at once.
void OnStopSignal(int signal) {
    stopSignal = signal;
    host::RequestStop();
    std::signal(signal, SIG_DFL);
}

void CloseReactions() {
    if (session.reactionsFile) std::fclose(session.reactionsFile);
    session.reactionsFile = nullptr;
}

// Ends a recording stopped from outside with a cut line at `at`: the game's clock at the last
// empty poll, where playing it back stops.
void CutRecording(std::uint64_t at) {
    if (session.mode != Mode::Record || !session.recorder.Recording()) return;
    session.recorder.Cut(at);
    if (session.sums) std::fclose(session.sums);
    session.sums = nullptr;
    CloseReactions();
}

void Poll() {
    if (stopSignal != 0 && session.recorder.Recording()) {
        CutRecording(session.host->Elapsed());
        std::raise(stopSignal);
    }
}

// A regular file of at most `limit` bytes, or nothing (a FIFO is never waited on).
std::optional<std::string> ReadWhole(const std::string& path, std::size_t limit) {
    platform::FileRead read = platform::ReadRegularFile(path, limit);
    if (!read.ok()) return std::nullopt;
    return std::move(read.bytes);
}

// The best a score file's bytes hold as the game reads them (four bytes, little-endian); 0 for
// anything else, as the game starts from 0 then.
std::uint32_t BestIn(const std::optional<std::string>& bytes) {
    if (!bytes || bytes->size() != 4) return 0;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>((*bytes)[i]);
    return value;
}

// The best score a score file holds: four bytes, little-endian.
std::string ScoreText(const std::optional<std::string>& bytes) {
    if (!bytes) return "none";
    if (bytes->empty()) return "empty";
    if (bytes->size() != 4) return "unreadable (" + std::to_string(bytes->size()) + " bytes)";
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>((*bytes)[i]);
    return std::to_string(value);
}

void SumFrame(const host::ScreenImage& image, std::uint64_t index, std::uint64_t at) {
    char line[64];
    std::snprintf(line, sizeof line, "%06llu\t%llu\t%s\n", static_cast<unsigned long long>(index),
                  static_cast<unsigned long long>(at),
                  platform::Hex(FrameChecksum(image), 8).c_str());
    session.runChecksum = Crc32(line, std::strlen(line), session.runChecksum);
    if (session.sums) std::fputs(line, session.sums);
}

void RemoveScratch() {
    if (session.scratch.empty()) return;
    std::error_code ignored;
    // Out of it first: Windows removes no folder a process is in.
    std::filesystem::current_path(std::filesystem::temp_directory_path(ignored), ignored);
    std::filesystem::remove_all(platform::PathOf(session.scratch), ignored);
    session.scratch.clear();
}

// At the end of the program, however it ends (the game's own ends all go through exit).
void Finish() {
    if (session.sums) std::fclose(session.sums);
    CloseReactions();
    if (session.mode == Mode::Record) {
        if (session.recorder.Recording() && session.recorder.End() && session.onNewBest &&
            BestIn(ReadWhole("score.dat", 64)) > BestIn(session.recorder.Header().scores)) {
            session.onNewBest(session.path);
        }
        return;
    }
    if (session.mode != Mode::Play || !session.host) return;
    const ReplayHost& host = *session.host;
    const Replay& replay = session.judge.replay;
    const std::optional<std::string> saved = ReadWhole(session.scratch + "/score.dat", 64);
    RemoveScratch();
    // The game shows a dialog only when this machine failed it (a file it could not write or
    // read, no memory): whatever the run did then is not the replay's, and its report would
    // not be either.
    if (session.verify && !session.stopped.empty()) {
        std::fprintf(stderr, "tavlo: cannot verify here: the game stopped: %s\n",
                     session.stopped.c_str());
        std::fflush(nullptr);
        std::_Exit(kCannotVerifyHere);
    }
    const Verdict verdict = session.judge.Decide();
    const bool played = verdict.kind == Verdict::Kind::Played;
    std::FILE* report = session.verify ? stdout : stderr;
    std::fputs(session.judge.Ending(session.path, verdict).c_str(), played ? report : stderr);
    if (played || session.verify) std::fputs(session.judge.RoundLines().c_str(), report);
    if (session.verify) {
        std::printf("pictures %llu\nchecksum %s\nbest score before %s\nbest score saved %s\n",
                    static_cast<unsigned long long>(host.Frames()),
                    platform::Hex(session.runChecksum, 8).c_str(), ScoreText(replay.scores).c_str(),
                    saved == replay.scores ? "unchanged" : ScoreText(saved).c_str());
        std::fflush(nullptr);
        std::_Exit(played ? 0 : 1);
    }
    if (!played) {
        std::fflush(nullptr);
        std::_Exit(1);
    }
}

int Refuse(const std::string& message) {
    std::fprintf(stderr, "tavlo: %s: %s\n", session.path.c_str(), message.c_str());
    session.mode = Mode::None;
    return 1;
}

// A play that could not be set up here: the machine's trouble (no temporary folder, a full disk,
// no archive), never the replay's. A verify says so in words of its own and ends with code 4,
// so that its caller (the score server) does not blame the run; a replay watched ends with 1.
int CannotSetUp(const std::string& reason) {
    RemoveScratch();
    if (!session.verify) return Refuse(reason);
    std::fprintf(stderr, "tavlo: cannot verify here: %s\n", reason.c_str());
    session.mode = Mode::None;
    return kCannotVerifyHere;
}

// Writes a file of the scratch folder (ours alone, new and thrown away: nothing to sync).
bool WriteScratchFile(const std::string& path, std::string_view bytes) {
    std::FILE* out = platform::OpenStream(path, "wb");
    bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) written = std::fclose(out) == 0 && written;
    return written;
}

// Puts the working folder's "tavlo.rka" in the scratch folder `folder` under the same name and
// gives its checksum, from the one read of it, through the name the game opens. A symbolic link
// to the archive's own file where the system makes one: no copy, and a play shut in its scratch
// folder reads the archive where it lies and can write nothing through the link. Else (Windows
// without the right to make links) a copy of the bytes checked. Nothing when it cannot be put
// there, with `why`.
std::optional<std::string> PlaceArchive(const std::string& folder, std::string& why) {
    constexpr std::size_t kLimit = std::size_t{1} << 30;
    const std::string placed = folder + "/tavlo.rka";
    std::error_code error;
    const std::filesystem::path real =
        std::filesystem::canonical(platform::PathOf("tavlo.rka"), error);
    if (!error) std::filesystem::create_symlink(real, platform::PathOf(placed), error);
    const bool linked = !error;
    const platform::FileRead archive =
        platform::ReadRegularFile(linked ? placed : "tavlo.rka", kLimit);
    if (!archive.ok()) {
        why = "tavlo.rka cannot be read: " + platform::DescribeRead(archive, kLimit);
        return std::nullopt;
    }
    if (!linked && !WriteScratchFile(placed, archive.bytes)) {
        why = "cannot copy tavlo.rka to " + placed + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return ArchiveChecksum(archive.bytes);
}

int StartRecording(const char* program) {
    // Where the game could not open its score file it would not start: no run to record.
    std::string why;
    Replay header = HeaderHere(&why);
    if (!header.scores) {
        // The notes of --record are the player's, in the player's language; the replay and
        // the report of --verify stay English, for the programs that read them.
        std::fprintf(
            stderr, "%s: --record %s\n", program,
            platform::Fill(tr("{1}: score.dat cannot be read ({2}); the game would not start, so "
                              "nothing is recorded"),
                           {session.path, why})
                .c_str());
        session.mode = Mode::None;
        return 1;
    }
    // The clock start is the inner host's; written once the host is made (CreateSessionHost).
    if (!session.recorder.Open(session.path)) {
        std::fprintf(stderr, "%s: --record %s: %s\n", program, session.path.c_str(),
                     std::strerror(errno));
        session.mode = Mode::None;
        return 2;
    }
    session.header = std::move(header);
    return -1;
}

int StartPlaying() {
    // A folder of its own under the temporary folder (TMPDIR): the archive, and the score file
    // as the recording found it. All the run writes goes there.
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return CannotSetUp("no folder for temporary files: " + error.message());
    const std::string base =
        platform::MakeScratchFolder(platform::Utf8Of(temporary / "tavlo-replay-"));
    if (base.empty()) {
        return CannotSetUp("no scratch folder in " + platform::Utf8Of(temporary) + ": " +
                           std::strerror(errno));
    }
    session.scratch = base;
    std::string why;
    const std::optional<std::string> archive = PlaceArchive(base, why);
    if (!archive) return CannotSetUp(why);
    if (auto refused =
            ReadFitting(session.path, ArchiveHere::ThisFolder, session.judge.replay, &*archive)) {
        RemoveScratch();
        return Refuse(refused->English());
    }
    const Replay& replay = session.judge.replay;
    // Recorded before replays kept the score file: the game would find none and not start.
    if (!replay.scores) {
        RemoveScratch();
        return Refuse("it keeps no score file (scores none): the game would not start with it");
    }
    if (!WriteScratchFile(base + "/score.dat", *replay.scores)) {
        return CannotSetUp("cannot write score.dat in " + base + ": " + std::strerror(errno));
    }
    if (!platform::ChangeFolder(base)) {
        return CannotSetUp("cannot move into " + base + ": " + std::strerror(errno));
    }
    // Playback is a run of its own: the replay's end stops it and its events are its input,
    // whatever the caller has exported for other runs (a time limit, a script).
    platform::SetEnvironment("TAVLO_TIME_LIMIT", "1844674407370955161");
    platform::UnsetEnvironment("TAVLO_INPUT");
    return -1;
}

}  // namespace

int StartSession(const SessionRequest& request, const char* program) {
    std::string record = request.record;
    if (record.empty() && request.replay.empty()) {
        if (const char* variable = std::getenv("TAVLO_RECORD"); variable && *variable) {
            record = variable;
        }
    }
    session.verify = request.verify;
    session.makeHost = request.makeHost;
    session.onNewBest = request.onNewBest;
    platform::SetSeedFilter(SeedForGame);
    int result = -1;
    if (!request.replay.empty()) {
        session.mode = Mode::Play;
        session.path = request.replay;
        result = StartPlaying();
    } else if (!record.empty()) {
        session.mode = Mode::Record;
        session.path = record;
        result = StartRecording(program);
    }
    if (result >= 0 || session.mode == Mode::None) return result;
    if (const char* sums = std::getenv("TAVLO_FRAME_SUMS"); sums && *sums) {
        session.sums = platform::OpenStream(sums, "wb");
        if (!session.sums) {
            const std::string why =
                std::string("TAVLO_FRAME_SUMS ") + sums + ": " + std::strerror(errno);
            if (session.mode == Mode::Play && session.verify) return CannotSetUp(why);
            std::fprintf(stderr, "%s: %s\n", program, why.c_str());
            RemoveScratch();
            return 2;
        }
    }
    if (const char* reactions = std::getenv("TAVLO_REACTIONS"); reactions && *reactions) {
        session.reactionsFile = platform::OpenStream(reactions, "wb");
        if (!session.reactionsFile) {
            std::fprintf(stderr, "%s: TAVLO_REACTIONS %s: %s\n", program, reactions,
                         std::strerror(errno));
            if (session.sums) std::fclose(session.sums);
            RemoveScratch();
            return 2;
        }
        session.reactions = std::make_unique<ReactionLog>([](const std::string& line) {
            if (session.reactionsFile) std::fputs(line.c_str(), session.reactionsFile);
        });
    }
    std::atexit(Finish);
    return -1;
}

host::Host* CreateSessionHost() {
    if (session.mode == Mode::None) return session.makeHost();
    host::Host* inner = session.verify ? headless::CreateHeadlessHost(headless::Pictures::Unkept)
                                       : session.makeHost();
    if (session.mode == Mode::Record) {
        session.host = session.recorder.Start(std::unique_ptr<host::Host>(inner), session.header);
        session.host->onPoll = Poll;
        // (Windows has no SIGHUP; its C runtime raises SIGINT for Ctrl+C and Ctrl+Break.)
        for (int signal : {SIGINT, SIGTERM}) std::signal(signal, OnStopSignal);
#ifdef SIGHUP
        std::signal(SIGHUP, OnStopSignal);
#endif
        // The headless host's time limit stops the recording from outside, like a signal. It
        // ends the run inside the poll after the last one the game made (headless, one poll is
        // one ms): the cut goes where that last one was.
        headless::SetTimeLimitHook([] { CutRecording(session.host->Elapsed() - 1); });
    } else {
        session.host = session.judge.Start(std::unique_ptr<host::Host>(inner));
        session.host->onMessage = [](const std::string& text) {
            if (!session.stopped.empty()) return;
            session.stopped = text.substr(0, 300);  // on one line, for the caller's log
            for (char& c : session.stopped) c = c == '\n' || c == '\r' ? ' ' : c;
        };
    }
    // The game reports each round's result, and the facts the reaction lines are made of.
    ListenToGame([](const GameReport& report) {
        if (session.reactions) session.reactions->Heard(report, session.host->Elapsed());
        const auto* round = std::get_if<RoundResult>(&report);
        if (round && session.mode == Mode::Play) session.judge.RoundEnded(*round);
    });
    if (session.reactions) {
        session.host->onEvent = [](const host::InputEvent& event, std::uint64_t at) {
            session.reactions->Received(event, at);
        };
    }
    session.host->onScreen = [](const host::ScreenImage& image, host::ScreenChange,
                                std::uint64_t index, std::uint64_t at) {
        SumFrame(image, index, at);
        if (session.reactions) session.reactions->Screen(index, at);
    };
    return session.host;
}

unsigned SeedForGame(unsigned given) {
    if (session.mode == Mode::Play) return session.judge.Seed(given);
    if (session.mode == Mode::Record) session.recorder.Seeded(given);
    return given;
}

}  // namespace replay
