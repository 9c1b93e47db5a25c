// The replay format (what the parser refuses, and that what the recorder writes reads back), the
// host in front of the real one (its clock, what it records, what it plays), the recorder and the
// judge every session uses, and the game's reports read from its debugger lines.
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "replay.h"
#include "files.h"
#include "frame_pacer.h"
#include "game_report.h"
#include "judge.h"
#include "recorder.h"
#include "replay_host.h"

using namespace host;
using namespace replay;

namespace {

const std::string kHeader =
    "tavlo-replay 1\nprogram 1.0.0\nclock-start 5\narchive 0123456789abcdef\nscores 07000000\n"
    "seed 42        \n";

TEST(ReplayFormat, WhatTheRecorderWritesReadsBack) {
    Replay written;
    written.program = "1.0.0";
    written.clockStart = 4000000000u;
    written.archive = "00112233445566ff";
    written.scores = std::string("\x07\x00\x00\x80", 4);
    std::string text = HeaderText(written);
    const std::size_t seed = text.find("\nseed ") + 6;
    text.replace(seed, kSeedFieldWidth, SeedField(3000000000u));
    text += EventLine({10, 2, {InputEvent::Kind::KeyDown, 0x0D}, 0});
    text += EventLine({10, 2, {InputEvent::Kind::SysKeyUp, 0x73}, 0});
    text += EventLine({11, 3, {InputEvent::Kind::KeyDown, 0xC5}, 0});
    text += EventLine({12, 3, {InputEvent::Kind::Close, 0}, 0});
    text += EndLine(20, 9);
    Replay read;
    ASSERT_FALSE(Parse(text, read)) << text;
    EXPECT_EQ(read.clockStart, 4000000000u);
    EXPECT_EQ(read.archive, written.archive);
    EXPECT_EQ(read.scores, written.scores);
    EXPECT_EQ(read.seed, 3000000000u);
    ASSERT_EQ(read.events.size(), 4u);
    EXPECT_EQ(read.events[1].event.kind, InputEvent::Kind::SysKeyUp);
    EXPECT_EQ(read.events[1].event.virtualKey, 0x73u);
    EXPECT_EQ(read.events[2].event.virtualKey, 0xC5u);
    EXPECT_EQ(read.events[2].frames, 3u);
    EXPECT_EQ(read.events[3].event.kind, InputEvent::Kind::Close);
    EXPECT_EQ(read.endAt, 20u);
    EXPECT_EQ(read.endFrames, 9u);
    EXPECT_FALSE(read.cut);
}

TEST(ReplayFormat, DamagedFilesNameTheirFirstBadLine) {
    struct Case {
        std::string text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"", 0, "empty"},
        {"# a comment\n" + kHeader + "1 end @1\n", 1, "not a tavlo replay"},
        {"tavlo-replay 2\n", 1, "format version 2"},
        {kHeader, 6, "no end line"},
        {kHeader + "10 down RETURN @1\n10 up RET", 8, "no @<frames>"},
        {kHeader + "10 down RETURN @1\n", 7, "no end line"},
        {kHeader + "seed 1\n1 end @0\n", 7, "seed given twice"},
        {"tavlo-replay 1\nprogram 1\n1 end @0\n", 3, "the header has no clock-start"},
        {kHeader + "10 down RETURN @5\n9 up RETURN @6\n20 end @9\n", 8, "earlier"},
        {kHeader + "10 down RETURN @5\n11 up RETURN @4\n20 end @9\n", 8, "earlier"},
        {kHeader + "10 jump @1\n20 end @3\n", 7, "unknown event jump"},
        {kHeader + "10 down 256 @1\n20 end @3\n", 7, "needs one key"},
        {kHeader + "10 close RETURN @1\n20 end @3\n", 7, "takes no key"},
        {kHeader + "10 down RETURN 1\n20 end @3\n", 7, "no @<frames>"},
        {kHeader + "-1 down RETURN @1\n20 end @3\n", 7, "not an event"},
        {kHeader + "99999999999999999999 end @1\n", 7, "not an event"},
        {kHeader + "21600001 end @1\n", 7, "later than 6 hours"},
        {kHeader + "20 end @3\n30 down UP @4\n", 8, "after the end line"},
        {kHeader + "20 end 5 @3\n", 7, "takes only"},
        {std::string("tavlo-replay 1\nprogram 1\0\n", 26), 2, "zero byte"},
        {"tavlo-replay 1\nclock-start 4294967296\n", 2, "32-bit"},
        {"tavlo-replay 1\narchive 0123\n", 2, "16 lower-case hex"},
        {"tavlo-replay 1\nscores 0g\n", 2, "hex bytes"},
        {"tavlo-replay 1\nseed -3\n", 2, "seed is neither"},
        {std::string(kMaxFileBytes + 1, '\n'), 0, "16 MiB"},
    };
    for (const Case& c : cases) {
        Replay replay;
        const auto error = Parse(c.text, replay);
        ASSERT_TRUE(error) << c.text.substr(0, 200);
        EXPECT_EQ(error->line, c.line) << c.text.substr(0, 200) << "\n" << error->message;
        EXPECT_NE(error->message.find(c.says), std::string::npos)
            << error->message << " (wanted: " << c.says << ")";
    }
}

TEST(ReplayFormat, FrameChecksums) {
    // A frame's sum covers every visible pixel and colour, and no byte past the width.
    std::uint8_t pixels[2 * 3] = {1, 2, 99, 3, 4, 99};
    Rgb colours[256] = {};
    const ScreenImage image{pixels, 2, 2, 3, colours};
    const std::uint32_t sum = FrameChecksum(image);
    pixels[2] = 7;
    EXPECT_EQ(FrameChecksum(image), sum);
    pixels[4] = 5;
    EXPECT_NE(FrameChecksum(image), sum);
    pixels[4] = 4;
    colours[255].b = 1;
    EXPECT_NE(FrameChecksum(image), sum);
}

// A host whose clock moves `step` ms per idle call, like a window that oversleeps.
class FakeHost final : public Host {
  public:
    std::uint32_t clock = 1000;
    std::uint32_t step = 1;
    int idles = 0;
    std::deque<InputEvent> events;
    std::uint32_t Milliseconds() override { return clock; }
    bool NextEvent(InputEvent& event) override {
        if (events.empty()) return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    void Idle() override {
        ++idles;
        clock += step;
    }
    void DesktopSize(int&, int&) override {}
    bool OpenVideo() override { return true; }
    void WindowChanged(bool, const std::string&) override {}
    bool SetFullScreenMode() override { return true; }
    void ShowScreen(const ScreenImage&, ScreenChange) override {}
    void MessageBox(const std::string&, const std::string&) override {}
    void SetCursorVisible(bool) override {}
    void ShowEndNotice(const std::string&) override {}
};

TEST(ReplayHost, TheGameClockCountsEmptyPollsAndNeverRunsAheadOfTheHost) {
    auto owned = std::make_unique<FakeHost>();
    FakeHost& inner = *owned;
    inner.step = 5;  // every wait of the window overshoots
    ReplayHost host(std::move(owned), ReplayHost::Mode::Record, 70);
    for (int i = 0; i < 10; ++i) host.Idle();
    EXPECT_EQ(host.Milliseconds(), 80u);
    EXPECT_EQ(inner.idles, 2);  // it waited only when the count had caught up with its clock
    // The window stood still for half a second: the count catches up without waiting by the
    // longest a waiting host sleeps towards a frame at most; the rest is let go, as a late
    // frame's time is, not played unseen.
    inner.clock += 500;
    for (int i = 0; i < 100; ++i) host.Idle();
    EXPECT_GE(inner.idles, 2 + (100 - 1 - static_cast<int>(FramePacer::kLongestLikelyFrameMs)) / 5);
    EXPECT_EQ(host.Milliseconds(), 180u);
}

// A host that notes every call that reaches it, and its end.
class NotingHost final : public Host {
  public:
    explicit NotingHost(std::vector<std::string>& calls) : calls_(calls) {}
    ~NotingHost() override { calls_.push_back("ended"); }
    std::uint32_t Milliseconds() override { return Note("Milliseconds"), clock_; }
    bool NextEvent(InputEvent&) override { return Note("NextEvent"), false; }
    void Idle() override { Note("Idle"), ++clock_; }
    void DesktopSize(int&, int&) override { Note("DesktopSize"); }
    bool OpenVideo() override { return Note("OpenVideo"), true; }
    void WindowChanged(bool, const std::string&) override { Note("WindowChanged"); }
    bool SetFullScreenMode() override { return Note("SetFullScreenMode"), true; }
    void ShowScreen(const ScreenImage&, ScreenChange) override { Note("ShowScreen"); }
    void MessageBox(const std::string&, const std::string&) override { Note("MessageBox"); }
    void SetCursorVisible(bool) override { Note("SetCursorVisible"); }
    void ShowEndNotice(const std::string&) override { Note("ShowEndNotice"); }
    void FileReplaced(const std::string&) override { Note("FileReplaced"); }

  private:
    void Note(const char* call) {
        if (calls_.empty() || calls_.back() != call) calls_.push_back(call);
    }
    std::vector<std::string>& calls_;
    std::uint32_t clock_ = 0;
};

// Every call of the seam but the clock (which is the replay's) reaches the host behind, and
// that host ends with the one in front.
TEST(ReplayHost, ForwardsEveryCallAndEndsTheHostBehind) {
    std::vector<std::string> calls;
    {
        ReplayHost host(std::make_unique<NotingHost>(calls), ReplayHost::Mode::Record, 0);
        calls.clear();
        int width = 0, height = 0;
        host.DesktopSize(width, height);
        host.OpenVideo();
        host.WindowChanged(true, "Tavlo");
        host.SetFullScreenMode();
        const std::uint8_t pixel = 0;
        const Rgb colours[256] = {};
        host.ShowScreen(ScreenImage{&pixel, 1, 1, 1, colours}, ScreenChange::Flip);
        host.MessageBox("caption", "text");
        host.SetCursorVisible(false);
        host.ShowEndNotice("note");
        host.FileReplaced("score.dat");
        InputEvent event;
        host.NextEvent(event);
        host.Idle();
    }
    const std::vector<std::string> expected = {
        "DesktopSize",  "OpenVideo",  "WindowChanged",    "SetFullScreenMode",
        "ShowScreen",   "MessageBox", "SetCursorVisible", "ShowEndNotice",
        "FileReplaced", "NextEvent",  "Milliseconds",     "Idle",
        "Milliseconds", "ended"};
    EXPECT_EQ(calls, expected);
}

TEST(ReplayHost, RecordsWhatReachesTheGameAtItsClockAndFrameCount) {
    auto owned = std::make_unique<FakeHost>();
    FakeHost& inner = *owned;
    ReplayHost host(std::move(owned), ReplayHost::Mode::Record, 0);
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    host.RecordTo(out);
    std::uint8_t pixel = 0;
    Rgb colours[256] = {};
    host.ShowScreen({&pixel, 1, 1, 1, colours}, ScreenChange::Flip);
    host.Idle();
    host.Idle();
    inner.events = {{InputEvent::Kind::KeyDown, 0x25}, {InputEvent::Kind::MouseOver, 0}};
    InputEvent event;
    EXPECT_TRUE(host.NextEvent(event));
    EXPECT_TRUE(host.NextEvent(event));  // passed on, but not kept
    EXPECT_EQ(event.kind, InputEvent::Kind::MouseOver);
    std::rewind(out);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
    EXPECT_STREQ(line, "2 down LEFT @1\n");
    EXPECT_EQ(std::fgets(line, sizeof line, out), nullptr);
    std::fclose(out);
}

TEST(ReplayHost, PlaysTheReplayAndLetsOnlyPauseAndCloseThrough) {
    Replay replay;
    replay.events = {{2, 0, {InputEvent::Kind::KeyDown, 0x26}, 7}};
    replay.endAt = 50;
    auto owned = std::make_unique<FakeHost>();
    FakeHost& inner = *owned;
    ReplayHost host(std::move(owned), ReplayHost::Mode::Play, 0);
    host.PlayFrom(&replay);
    int divergedAt = 0;
    host.onDiverged = [&](int line, const platform::Said&) { divergedAt = line; };
    inner.events = {{InputEvent::Kind::KeyDown, 0x25},
                    {InputEvent::Kind::SysKeyDown, 0x0D},
                    {InputEvent::Kind::KeyDown, 0x13},
                    {InputEvent::Kind::KeyUp, 0x13},
                    {InputEvent::Kind::Close, 0}};
    InputEvent event;
    ASSERT_TRUE(host.NextEvent(event));
    EXPECT_EQ(event.virtualKey, 0x13u);  // Pause
    ASSERT_TRUE(host.NextEvent(event));
    EXPECT_EQ(event.kind, InputEvent::Kind::Close);
    EXPECT_FALSE(host.NextEvent(event));  // the replay's key is due at 2 ms
    host.Idle();
    host.Idle();
    ASSERT_TRUE(host.NextEvent(event));
    EXPECT_EQ(event.virtualKey, 0x26u);
    EXPECT_EQ(divergedAt, 0);
    // A picture more than the replay has: the run went another way, at the end line.
    replay.endLine = 9;
    std::uint8_t pixel = 0;
    Rgb colours[256] = {};
    host.ShowScreen({&pixel, 1, 1, 1, colours}, ScreenChange::Flip);
    EXPECT_EQ(divergedAt, 9);
}

// The game's lines as its sprintf writes them become reports; nothing else does, so that no
// other text of the game is counted as a round or a hit.
TEST(GameReports, OnlyTheGameOwnLinesAreRead) {
    struct Case {
        const char* text;
        std::optional<GameReport> report;
    };
    const Case cases[] = {
        {"picture 0 shown\n", PictureShown{0}},
        {"picture 3 shown\n", PictureShown{3}},
        {"key 37 taken\n", KeyTaken{37}},
        {"key 255 taken\n", KeyTaken{255}},
        {"score 101, best 101\n", RoundResult{101, 101}},
        {"score 0, best -1\n", RoundResult{0, -1}},  // a best score.dat held as 0xffffffff
        {"picture 4 shown\n", std::nullopt},
        {"picture -1 shown\n", std::nullopt},
        {"key 256 taken\n", std::nullopt},
        {"picture 1 shown", std::nullopt},  // not ended
        {"picture  shown\n", std::nullopt},
        {"picture 1x shown\n", std::nullopt},
        {"score 5, best 7", std::nullopt},
        {"score 5, best 7 of 9\n", std::nullopt},
        {"score 5 best 7\n", std::nullopt},
        {"score 99999999999, best 1\n", std::nullopt},
        {"score , best 1\n", std::nullopt},
        {"the round begins\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadGameReport(c.text), c.report) << c.text;
    }
    // What the game tells its debugger reaches the listener, read.
    std::vector<GameReport> heard;
    ListenToGame([&](const GameReport& report) { heard.push_back(report); });
    DebugOutput("key 38 taken\n");
    DebugOutput("a note for a person\n");
    DebugOutput("score 3, best 9\n");
    ListenToGame(nullptr);
    DebugOutput("score 4, best 9\n");
    EXPECT_EQ(heard, (std::vector<GameReport>{KeyTaken{38}, RoundResult{3, 9}}));
}

TEST(Recorder, WritesTheHeaderFillsTheSeedInPlaceAndEnds) {
    const std::string path =
        platform::Utf8Of(std::filesystem::temp_directory_path() / "tavlo-recorder-test.replay");
    Recorder recorder;
    ASSERT_TRUE(recorder.Open(path));
    Replay header;
    header.program = "1.0.0";
    header.archive = "0123456789abcdef";
    header.scores = std::string("\x07\x00\x00\x00", 4);
    auto owned = std::make_unique<FakeHost>();
    FakeHost& inner = *owned;
    std::unique_ptr<ReplayHost> host(recorder.Start(std::move(owned), header));
    recorder.Seeded(3000000000u);
    recorder.Seeded(7);  // the game seeds once: a second seed is not the run's
    host->Idle();
    inner.events = {{InputEvent::Kind::KeyDown, 0x0D}};
    InputEvent event;
    ASSERT_TRUE(host->NextEvent(event));
    host->Idle();
    // A snapshot is cut where it is asked for; the recording goes on.
    const std::optional<std::string> soFar = recorder.SoFar(1);
    ASSERT_TRUE(soFar);
    Replay read;
    ASSERT_FALSE(Parse(*soFar, read)) << *soFar;
    EXPECT_TRUE(read.cut);
    EXPECT_EQ(read.endAt, 1u);
    ASSERT_TRUE(recorder.Recording());
    ASSERT_TRUE(recorder.End());
    EXPECT_FALSE(recorder.Recording());
    const platform::FileRead file = platform::ReadRegularFile(path, kMaxFileBytes);
    std::filesystem::remove(platform::PathOf(path));
    ASSERT_TRUE(file.ok());
    ASSERT_FALSE(Parse(file.bytes, read)) << file.bytes;
    EXPECT_EQ(read.clockStart, 1000u);  // the host behind's clock when the run began
    EXPECT_EQ(read.seed, 3000000000u);
    EXPECT_EQ(read.scores, header.scores);
    ASSERT_EQ(read.events.size(), 1u);
    EXPECT_EQ(read.events[0].at, 1u);
    EXPECT_FALSE(read.cut);
    EXPECT_EQ(read.endAt, 2u);
}

// A run that ends before the replay's end has stopped there, at the event it did not reach or
// at the end line; one that ends where the replay ends was played, with its rounds.
TEST(Judge, SaysWhereTheRunStoppedAndWhatItsRoundsWere) {
    Judge judge;
    judge.replay.seed = 42;
    judge.replay.events = {{1, 0, {InputEvent::Kind::KeyDown, 0x26}, 7}};
    judge.replay.endAt = 2;
    judge.replay.endLine = 8;
    std::unique_ptr<ReplayHost> host(judge.Start(std::make_unique<FakeHost>()));
    EXPECT_EQ(judge.Seed(5), 42u);
    EXPECT_EQ(judge.Seed(6), 6u);  // only the game's first seed is the replay's
    Verdict verdict = judge.Decide();
    EXPECT_EQ(verdict.kind, Verdict::Kind::Stopped);
    EXPECT_EQ(verdict.line, 7);
    EXPECT_EQ(judge.Ending("run.replay", verdict),
              "tavlo: run.replay line 7: the run went another way: the program ended before "
              "this event, at 0 ms\n");
    host->Idle();
    InputEvent event;
    ASSERT_TRUE(host->NextEvent(event));
    verdict = judge.Decide();
    EXPECT_EQ(verdict.kind, Verdict::Kind::Stopped);
    EXPECT_EQ(verdict.line, 8);
    host->Idle();
    judge.RoundEnded({12, 30});
    judge.RoundEnded({31, 31});
    judge.RoundEnded({4, 31});
    verdict = judge.Decide();
    EXPECT_EQ(verdict.kind, Verdict::Kind::Played);
    EXPECT_EQ(judge.Ending("run.replay", verdict),
              "replay run.replay: played to its end at 2 ms\n");
    EXPECT_EQ(
        judge.RoundLines(),
        "round 1: score 12, best 30\nround 2: score 31, best 31\nround 3: score 4, best 31\n");
    EXPECT_EQ(judge.Rounds(), 3);
    EXPECT_EQ(judge.BestRound(), 31);
}

}  // namespace
