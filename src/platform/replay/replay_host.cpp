// The recording and playing host in front of the real one.
#include "replay_host.h"

#include "frame_pacer.h"
#include "virtual_keys.h"

namespace replay {

namespace {

// How far the game's clock may fall behind the host's. A host that waits sleeps until the game
// is likely to draw next (FramePacer), up to its longest likely frame, and wakes a little late
// at times: that time is the game's, caught up at once as it spins toward its frame. Letting
// it go (as a cap of one short frame did) slowed every recorded or replayed run in a window or
// a page by what each wake overshot, and the frames it then measured longer made the next
// sleeps longer still. Beyond it the lag is a stall.
constexpr std::uint32_t kMaxLag = host::FramePacer::kLongestLikelyFrameMs;

}  // namespace

ReplayHost::ReplayHost(std::unique_ptr<host::Host> inner, Mode mode, std::uint32_t clockStart)
    : inner_(std::move(inner)),
      mode_(mode),
      clockStart_(clockStart),
      innerStart_(inner_->Milliseconds()) {}

std::uint32_t ReplayHost::Milliseconds() {
    return static_cast<std::uint32_t>(clockStart_ + idles_);
}

void ReplayHost::Idle() {
    if (onPoll) onPoll();
    ++idles_;
    // After a stall (a switch to full screen, a screenshot, a slow disk) the host's clock is far
    // ahead and the game would play the missed time at once, unseen, the picture jumping. As a
    // late frame loses its time, the lag beyond kMaxLag is let go. The game's clock is still
    // its count of empty polls, so what it sees, and a replay, stay the same.
    const auto ahead = static_cast<std::uint32_t>(inner_->Milliseconds() - innerStart_ -
                                                  static_cast<std::uint32_t>(idles_));
    if (ahead > kMaxLag && ahead < 0x80000000u) innerStart_ += ahead - kMaxLag;
    // The inner host waits (and shows the screen) while the count is ahead of its clock. The
    // headless host's clock moves once per call, so there this is one call, as without us.
    while (static_cast<std::uint32_t>(inner_->Milliseconds() - innerStart_) < idles_) {
        inner_->Idle();
    }
    if (mode_ == Mode::Play && replay_ && !replay_->cut && idles_ > replay_->endAt && onDiverged) {
        // TRANSLATORS: {1} is a time in milliseconds.
        onDiverged(replay_->endLine, platform::said("the program did not end at {1} ms as the "
                                                    "replay did; it runs on",
                                                    {std::to_string(replay_->endAt)}));
    }
}

bool ReplayHost::NextEvent(host::InputEvent& event) {
    if (mode_ == Mode::Record) {
        if (!inner_->NextEvent(event)) return false;
        if (out_ && Recordable(event)) {
            const std::string line = EventLine(Event{idles_, frames_, event, 0});
            std::fputs(line.c_str(), out_);
            std::fflush(out_);
        }
        if (onEvent) onEvent(event, idles_);
        return true;
    }
    // Playing: what the inner host has, first, so that a close or Pause is never held up.
    while (inner_->NextEvent(event)) {
        using Kind = host::InputEvent::Kind;
        const bool key = event.kind == Kind::KeyDown || event.kind == Kind::KeyUp ||
                         event.kind == Kind::SysKeyDown || event.kind == Kind::SysKeyUp;
        if (!key || (event.kind == Kind::KeyDown && event.virtualKey == host::vk::kPause)) {
            if (onEvent) onEvent(event, idles_);
            return true;
        }
    }
    if (!NextReplayEvent(event)) return false;
    if (onEvent) onEvent(event, idles_);
    return true;
}

bool ReplayHost::NextReplayEvent(host::InputEvent& event) {
    if (!replay_ || next_ >= replay_->events.size()) return false;
    const Event& due = replay_->events[next_];
    if (due.at > idles_) return false;
    if (due.frames != frames_ && onDiverged) {
        // TRANSLATORS: {1} and {2} are numbers of pictures the game has shown.
        onDiverged(due.line, platform::said("the game had shown {1} pictures when this event "
                                            "came; the replay says {2}",
                                            {std::to_string(frames_), std::to_string(due.frames)}));
    }
    ++next_;
    event = due.event;
    return true;
}

void ReplayHost::ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) {
    if (onScreen) onScreen(image, cause, frames_, idles_);
    ++frames_;
    inner_->ShowScreen(image, cause);
    // A picture more than the replay knows at this point: the run has gone another way. Found
    // here, it ends a run that would otherwise wait for an event that can no longer come.
    if (mode_ != Mode::Play || !replay_ || !onDiverged) return;
    if (next_ < replay_->events.size() && replay_->events[next_].frames < frames_) {
        // TRANSLATORS: {1} and {2} are numbers of pictures the game has shown.
        onDiverged(replay_->events[next_].line,
                   platform::said(
                       "the game showed picture {1} before this event came; the "
                       "replay says it came after {2}",
                       {std::to_string(frames_), std::to_string(replay_->events[next_].frames)}));
    } else if (frames_ > replay_->endFrames) {
        onDiverged(replay_->endLine,
                   // TRANSLATORS: {1} is a number of pictures.
                   platform::said("the game showed more pictures than the replay: {1}",
                                  {std::to_string(frames_)}));
    }
}

}  // namespace replay
