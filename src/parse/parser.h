// Checks first.imd against the grammar of the constraint language and, as a
// side effect of scanning, writes second.imd with one token per line.
#pragma once

namespace vorn2shp {

class Parser {
public:
    Parser() = default;

    // Opens first.imd and second.imd and reads the first token. False when a
    // file cannot be used; the reason has been reported on stderr.
    bool initialize();

    // Prints the parsing lines. True for an accepted text; false after
    // "Invaild VORN File " (or a write failure reported on stderr).
    bool parse();
};

}  // namespace vorn2shp
