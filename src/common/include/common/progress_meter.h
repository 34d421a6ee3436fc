// The progress of a whole run on stderr, drawn as GDAL's command-line tools
// draw theirs (their -progress): "0...10...20...30...40...50...60...70...80...90...100 - done."
//
// A run is a row of stages, each with its share of the line: the time it
// usually takes of a run. Within a stage, the work is counted in the bytes
// of the file it works through, told by whichever thread reads them, so the
// line moves evenly however large the input is. The transcript on stdout is
// left alone.
#pragma once

#include <cstdint>
#include <mutex>

namespace vorn2shp {

class ProgressMeter {
public:
    // A run that fails leaves the line where it stopped, as GDAL's tools
    // do: the message that says why follows on it.
    ProgressMeter() = default;
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // Starts the next stage, which takes `share` of the line (the shares of
    // a run add up to 1) and has `bytes` to work through; the stage before
    // it is done.
    void beginStage(double share, std::uint64_t bytes);
    // `bytes` more of the current stage are done. From any thread.
    void advance(std::uint64_t bytes) noexcept;
    // The run is done: the line is drawn to its end, " - done.".
    void finish();

private:
    // Called with the mutex held.
    void drawUpTo(double fraction) noexcept;

    std::mutex mutex_;
    double stageStart_ = 0.0;
    double stageShare_ = 0.0;
    std::uint64_t stageBytes_ = 0;
    std::uint64_t stageDone_ = 0;
    int ticksDrawn_ = 0;  // of the 41 marks, 0 ... 100 in steps of 2.5%
    bool done_ = false;
};

}  // namespace vorn2shp
