// The browser host's choice of when to wake the game (see frame_pacer.h).
#include "frame_pacer.h"

#include <algorithm>

namespace host {

void FramePacer::Changed() {
    if (wokeMs_ == frameStartMs_) return;
    const double frame = wokeMs_ - frameStartMs_;
    ++framesSeen_;
    if (frame > kLongestLikelyFrameMs) {
        frameCount_ = 0;
        nextFrame_ = 0;
    } else if (frame >= kShortestFrameMs) {
        frames_[nextFrame_] = frame;
        nextFrame_ = (nextFrame_ + 1) % frames_.size();
        frameCount_ = std::min(frameCount_ + 1, frames_.size());
    }
    frameStartMs_ = wokeMs_;
}

double FramePacer::NextWake(double clockMs) const {
    const double since = clockMs - frameStartMs_;
    double likely = kShortestFrameMs;
    if (frameCount_ > 0) {
        likely = *std::min_element(frames_.begin(), frames_.begin() + frameCount_);
        const bool probe = frameCount_ < kProbeEvery || framesSeen_ % kProbeEvery == 0;
        if (likely > kShortestFrameMs && probe) likely -= 1;
    }
    return frameStartMs_ + (likely > since ? likely : since + 1);
}

}  // namespace host
