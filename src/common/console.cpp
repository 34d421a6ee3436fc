#include "common/console.h"

#include <cerrno>
#include <cstdio>

#include "common/diagnostics.h"

namespace vorn2shp {

Console::~Console() {
    if (!gathered_.empty()) {
        try {
            warn(gathered_);
        } catch (...) {
        }
    }
}

void Console::progress(std::string_view line) {
    if (mode_ == Mode::Transcript) {
        errno = 0;
        printLine(line);
        noteLostTranscript();
    }
}

void Console::failureLine(std::string_view line) {
    failureText(line);
    failureText("\n");
}

void Console::failureText(std::string_view text) {
    if (mode_ == Mode::Transcript) {
        errno = 0;
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        noteLostTranscript();
        return;
    }
    gathered_.append(text);
    giveGatheredLines();
}

// Right after a write to stdout, whose errno tells why it failed.
void Console::noteLostTranscript() {
    if (transcriptLost_ || !std::ferror(stdout)) {
        return;
    }
    transcriptLost_ = true;
    const int error = errno != 0 ? errno : EIO;
    if (error != EPIPE) {
        warn(describeFileError("stdout", error) +
             "; the rest of the progress transcript is lost, the conversion goes on");
    }
}

void Console::giveGatheredLines() {
    std::size_t end = 0;
    while ((end = gathered_.find('\n')) != std::string::npos) {
        warn(std::string_view(gathered_).substr(0, end));
        gathered_.erase(0, end + 1);
    }
}

}  // namespace vorn2shp
