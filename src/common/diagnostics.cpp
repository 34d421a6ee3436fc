#include "common/diagnostics.h"

#include <cstdio>
#include <cstring>

namespace vorn2shp {

void printLine(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void warn(std::string_view message) {
    std::string text = "vorn2shp: ";
    text.append(message);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

ConsoleHold::ConsoleHold() {
    flockfile(stdout);
    flockfile(stderr);
}

ConsoleHold::~ConsoleHold() {
    funlockfile(stderr);
    funlockfile(stdout);
}

std::string describeFileError(std::string_view path, int errorNumber) {
    std::string text(path);
    text += ": ";
    switch (errorNumber) {
        case kNotARegularFile:
            text += "not a regular file (a FIFO, socket or device)";
            break;
        case kSymbolicLink:
            text += "a symbolic link, which the run never writes through";
            break;
        default:
            text += std::strerror(errorNumber);
    }
    return text;
}

}  // namespace vorn2shp
