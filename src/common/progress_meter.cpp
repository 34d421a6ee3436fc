#include "common/progress_meter.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vorn2shp {

namespace {

// The line has a mark for every 2.5%: the tens as numbers, the rest as dots.
constexpr int kLastTick = 40;

void drawTick(int tick, std::string& text) {
    if (tick % 4 == 0) {
        text += std::to_string(tick / 4 * 10);
    } else {
        text += '.';
    }
}

}  // namespace

void ProgressMeter::beginStage(double share, std::uint64_t bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    stageStart_ += stageShare_;
    stageShare_ = share;
    stageBytes_ = bytes;
    stageDone_ = 0;
    drawUpTo(stageStart_);
}

void ProgressMeter::advance(std::uint64_t bytes) noexcept {
    const std::lock_guard<std::mutex> lock(mutex_);
    stageDone_ += bytes;
    // A stage may read a little more than its file (a first line twice):
    // it never reaches into the next stage's part.
    const double part =
        stageBytes_ == 0
            ? 1.0
            : std::min(1.0, static_cast<double>(stageDone_) / static_cast<double>(stageBytes_));
    drawUpTo(stageStart_ + stageShare_ * part);
}

void ProgressMeter::finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    drawUpTo(1.0);
}

void ProgressMeter::drawUpTo(double fraction) noexcept {
    // A rounding error in the sum of the shares must not hold the last mark back.
    const int ticks =
        fraction >= 1.0 - 1e-9
            ? kLastTick + 1
            : std::clamp(static_cast<int>(fraction * kLastTick) + 1, 0, kLastTick + 1);
    if (ticks <= ticksDrawn_ || done_) {
        return;
    }
    try {
        std::string text;
        for (int tick = ticksDrawn_; tick < ticks; ++tick) {
            drawTick(tick, text);
        }
        if (ticks == kLastTick + 1) {
            text += " - done.\n";
        }
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        ticksDrawn_ = ticks;
        done_ = ticks == kLastTick + 1;
    } catch (...) {
        // Out of memory for a few bytes: the line is drawn at the next step.
    }
}

}  // namespace vorn2shp
