// What a stage prints on stdout: the progress transcript and the fixed texts
// that say why a run failed.
//
// A quiet console drops the transcript. The fixed failure texts still reach
// the user, on stderr behind the program's name, so a script that asked for
// quiet still learns why a run failed; a text written in pieces without a
// line end (the export's) is gathered into one line first.
//
// A transcript that cannot be written is no reason to stop a conversion:
// where stdout is a pipe that nobody reads any more (`| head`), the rest of
// it is dropped in silence; any other failure (a full disk) is told once on
// stderr.
//
// The console also carries the run's progress meter (--progress), which
// draws on stderr, so that every stage that reads can tell it how far it is.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

class ProgressMeter;

class Console {
public:
    enum class Mode { Transcript, Quiet };

    explicit Console(Mode mode = Mode::Transcript, ProgressMeter* meter = nullptr)
        : mode_(mode), meter_(meter) {}
    // Ends a failure text still being gathered.
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // One line of the progress transcript.
    void progress(std::string_view line);
    // A fixed failure text that makes a line of its own.
    void failureLine(std::string_view line);
    // A piece of a fixed failure text, printed as it stands with no line end.
    void failureText(std::string_view text);

    // The meter that the stages tell of the bytes they read; null when the
    // run draws no progress.
    ProgressMeter* meter() const { return meter_; }

private:
    void giveGatheredLines();
    void noteLostTranscript();

    Mode mode_;
    ProgressMeter* meter_;
    bool transcriptLost_ = false;
    std::string gathered_;  // quiet: failure text not yet ended by a line feed
};

}  // namespace vorn2shp
