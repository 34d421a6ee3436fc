#include "common/console.h"

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
        printLine(line);
    }
}

void Console::failureLine(std::string_view line) {
    failureText(line);
    failureText("\n");
}

void Console::failureText(std::string_view text) {
    if (mode_ == Mode::Transcript) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return;
    }
    gathered_.append(text);
    giveGatheredLines();
}

void Console::giveGatheredLines() {
    std::size_t end = 0;
    while ((end = gathered_.find('\n')) != std::string::npos) {
        warn(std::string_view(gathered_).substr(0, end));
        gathered_.erase(0, end + 1);
    }
}

}  // namespace vorn2shp
