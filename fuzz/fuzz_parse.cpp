// The scanner and parser on arbitrary first.imd bytes, and, for a rejected
// text, the place of the token that does not fit and the message about it.
// The same text parsed in two parts, split after one of its ';', must give
// the same verdict, place and second.imd as the parse in one part.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text_file.h"
#include "fuzz_support.h"
#include "parse/parser.h"
#include "parse/rejection_message.h"

namespace {

struct Outcome {
    bool accepted = false;
    bool ioFailed = false;
    vorn2shp::TokenPlace place;
    std::string second;
};

std::string readWholeFile(const char* path) {
    std::string bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::abort();
    }
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        bytes.append(block, got);
    }
    std::fclose(file);
    return bytes;
}

Outcome parseWith(vorn2shp::ParseSplit split) {
    Outcome outcome;
    {
        vorn2shp::Console console;
        vorn2shp::Parser parser(split);
        outcome.accepted = parser.initialize() && parser.parse(console);
        outcome.ioFailed = parser.ioFailed();
        if (!outcome.accepted && !outcome.ioFailed) {
            outcome.place = parser.rejectedAt();
        }
    }
    outcome.second = readWholeFile("second.imd");
    return outcome;
}

void checkPlace(const vorn2shp::TokenPlace& place) {
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
}

bool samePlace(const vorn2shp::TokenPlace& a, const vorn2shp::TokenPlace& b) {
    return a.line == b.line && a.column == b.column && a.length == b.length &&
           a.endOfText == b.endOfText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn2shp::fuzz::enterScratchDirectory();
    const std::string text(reinterpret_cast<const char*>(data), size);
    vorn2shp::fuzz::writeWholeFile("first.imd", text);
    const Outcome one = parseWith(vorn2shp::ParseSplit{vorn2shp::TextPart::kToTheEnd, 0.5});
    if (!one.accepted && !one.ioFailed) {
        checkPlace(one.place);
    }
    // Split after the ';' that the first byte picks.
    std::size_t semicolons = 0;
    for (const char c : text) {
        semicolons += c == ';' ? 1 : 0;
    }
    if (semicolons == 0) {
        return 0;
    }
    std::size_t at = text.find(';');
    for (std::size_t skip = data[0] % semicolons; skip > 0; --skip) {
        at = text.find(';', at + 1);
    }
    const Outcome two = parseWith(
        vorn2shp::ParseSplit{0, (static_cast<double>(at) + 0.5) / static_cast<double>(size)});
    if (two.accepted != one.accepted || two.ioFailed != one.ioFailed || two.second != one.second ||
        !samePlace(two.place, one.place)) {
        std::abort();
    }
    return 0;
}
