// A host in front of the real one that records the run's input, or plays a recorded run back.
//
// Either way the game's clock is a count: it reads the start value plus the number of times the
// game has found its message queue empty, as on the headless host, and never runs ahead of the
// host's own clock (an SDL window waits for the wall clock to catch up; a game that falls behind
// catches up at once, since no empty poll then waits). The game sees nothing but its clock and
// its messages, so an event received at the same clock reading gives the same run, frame for
// frame, whichever host it runs on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "host.h"
#include "replay.h"

namespace replay {

class ReplayHost final : public host::Host {
  public:
    enum class Mode { Record, Play };
    // Record: every event the inner host gives is passed on and written to `out`.
    // Play: the inner host's keys are dropped (its own keys it has handled already), except
    // Pause; its closes pass; the replay's events arrive when the clock reaches theirs.
    // The host in front owns the one behind: ending it ends that one (its window, SDL).
    ReplayHost(std::unique_ptr<host::Host> inner, Mode mode, std::uint32_t clockStart);

    void RecordTo(std::FILE* out) { out_ = out; }
    void PlayFrom(const Replay* replay) { replay_ = replay; }
    // Called for every change of the screen, with its index and the game clock.
    std::function<void(const host::ScreenImage&, host::ScreenChange, std::uint64_t index,
                       std::uint64_t at)>
        onScreen;
    // Called for every event handed to the game, with the game clock.
    std::function<void(const host::InputEvent&, std::uint64_t at)> onEvent;
    // Called when playback goes wrong: an event due at another frame count than recorded, or the
    // clock past the end without the program having ended. Line and message; it must not return.
    std::function<void(int line, const platform::Said& message)> onDiverged;
    // Called at every empty poll, before the clock moves: a recording stopped from outside ends
    // here; a replay that was cut ends here when its clock reaches the cut. Must not return when
    // it ends the run.
    std::function<void()> onPoll;
    // Called with the text of every dialog the program shows, before it is shown (the game shows
    // one only when its files or its memory fail it).
    std::function<void(const std::string& text)> onMessage;

    std::uint64_t Elapsed() const { return idles_; }
    std::uint64_t Frames() const { return frames_; }
    // Replay events handed to the game so far.
    std::size_t Delivered() const { return next_; }

    std::uint32_t Milliseconds() override;
    bool NextEvent(host::InputEvent& event) override;
    void Idle() override;
    void DesktopSize(int& width, int& height) override { inner_->DesktopSize(width, height); }
    bool OpenVideo() override { return inner_->OpenVideo(); }
    void WindowChanged(bool visible, const std::string& titleUtf8) override {
        inner_->WindowChanged(visible, titleUtf8);
    }
    bool SetFullScreenMode() override { return inner_->SetFullScreenMode(); }
    void ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) override;
    void MessageBox(const std::string& captionUtf8, const std::string& textUtf8) override {
        if (onMessage) onMessage(textUtf8);
        inner_->MessageBox(captionUtf8, textUtf8);
    }
    void SetCursorVisible(bool visible) override { inner_->SetCursorVisible(visible); }
    void ShowEndNotice(const std::string& textUtf8) override { inner_->ShowEndNotice(textUtf8); }
    void FileReplaced(const std::string& path) override { inner_->FileReplaced(path); }

  private:
    bool NextReplayEvent(host::InputEvent& event);

    std::unique_ptr<host::Host> inner_;
    Mode mode_;
    std::uint32_t clockStart_;
    std::uint32_t innerStart_;
    std::uint64_t idles_ = 0;
    std::uint64_t frames_ = 0;
    std::FILE* out_ = nullptr;
    const Replay* replay_ = nullptr;
    std::size_t next_ = 0;
};

}  // namespace replay
