// The scanner and parser on arbitrary first.imd bytes, and, for a rejected
// text, the place of the token that does not fit and the message about it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text_file.h"
#include "fuzz_support.h"
#include "parse/parser.h"
#include "parse/rejection_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn2shp::fuzz::enterScratchDirectory();
    vorn2shp::fuzz::writeWholeFile("first.imd",
                                   std::string(reinterpret_cast<const char*>(data), size));
    vorn2shp::Console console;
    vorn2shp::Parser parser;
    if (!parser.initialize() || parser.parse(console) || parser.ioFailed()) {
        return 0;
    }
    const vorn2shp::TokenPlace place = parser.rejectedAt();
    // The line of first.imd the token begins on (past the last line: the end).
    vorn2shp::LineReader reader;
    std::string line;
    std::size_t number = 0;
    bool found = false;
    if (reader.open("first.imd")) {
        while (!found && reader.readLine(line)) {
            found = ++number == place.line;
        }
    }
    if (!found) {
        line.clear();
    }
    // A token that was read begins, and on its line ends, within that line.
    if (place.length > 0 && (!found || (place.length != std::string::npos &&
                                        place.column + place.length > line.size()))) {
        std::abort();
    }
    vorn2shp::describeRejection(place, "first.imd", place.line, line);
    return 0;
}
