// A host's choice of when to wake the game (see frame_pacer.h).
#include "frame_pacer.h"

#include <algorithm>

namespace host {

void FramePacer::Woke(std::uint32_t clockMs) {
    wokeMs_ = clockMs;
    drewSinceWake_ = false;
}

void FramePacer::Changed() {
    if (drewSinceWake_) return;
    drewSinceWake_ = true;
    if (started_) {
        const std::uint32_t frame = wokeMs_ - frameStartMs_;
        ++framesSeen_;
        if (frame > kLongestLikelyFrameMs) {
            frameCount_ = 0;
            nextFrame_ = 0;
        } else if (frame >= kShortestFrameMs) {
            frames_[nextFrame_] = frame;
            nextFrame_ = (nextFrame_ + 1) % frames_.size();
            frameCount_ = std::min(frameCount_ + 1, frames_.size());
        }
    }
    started_ = true;
    frameStartMs_ = wokeMs_;
}

std::uint32_t FramePacer::WaitFrom(std::uint32_t clockMs) const {
    const std::uint32_t since = clockMs - frameStartMs_;
    std::uint32_t likely = kShortestFrameMs;
    if (frameCount_ > 0) {
        likely = *std::min_element(frames_.begin(), frames_.begin() + frameCount_);
        const bool probe = frameCount_ < kProbeEvery || framesSeen_ % kProbeEvery == 0;
        if (likely > kShortestFrameMs && probe) likely -= 1;
    }
    return likely > since ? likely - since : 1;
}

}  // namespace host
