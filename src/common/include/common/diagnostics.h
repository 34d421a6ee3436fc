// The two output channels of the program.
//
// Progress lines and the fixed messages go to stdout, one line at a time and
// flushed at once, so a transcript stays in order even when stdout is a pipe.
// Everything the user should know beyond the fixed transcript (warnings, and
// the errors that name a file and its cause) goes to stderr behind the
// program's name.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// Writes `line` and a line feed to stdout and flushes.
void printLine(std::string_view line);

// Writes "vorn2shp: <message>" and a line feed to stderr.
void warn(std::string_view message);

// Holds stdout and stderr for the calling thread while it lives: what it
// prints meanwhile stays together, and a thread that stops the run, which
// takes both first, waits for it.
class ConsoleHold {
public:
    ConsoleHold();
    ~ConsoleHold();
    ConsoleHold(const ConsoleHold&) = delete;
    ConsoleHold& operator=(const ConsoleHold&) = delete;
};

// Reasons of the program's own for refusing a file, kept where an errno
// would be; describeFileError words them like the system's.
enum FileRefusal : int {
    kNotARegularFile = -1,  // a FIFO, socket or device: it may never end, or block
    kSymbolicLink = -2,     // a file the run writes, which it never writes through a link
};

// "<path>: <system error text>", for messages about a file that failed.
std::string describeFileError(std::string_view path, int errorNumber);

}  // namespace vorn2shp
