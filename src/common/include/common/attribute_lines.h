// Which line of the user's .def file each line of output.eff.imd took its
// attribute text from, so that the export's messages about a value name
// the line the user wrote it on.
//
// The lines follow each other but where an object writes no outline, whose
// .def line is passed over, and where the .def runs out, so they are kept
// as runs: a few entries for any map.
#pragma once

#include <cstddef>
#include <vector>

namespace vorn2shp {

class AttributeLines {
public:
    // The next line of output.eff.imd took .def line `line` (counted from
    // 1); 0: it took none, its text is empty.
    void add(std::size_t line);

    // The .def line of line `recordLine` of output.eff.imd (counted from 1);
    // 0 when it took none, or when no such line was added.
    std::size_t lineOf(std::size_t recordLine) const;

private:
    // From record line `firstRecord` on, the .def lines count up from
    // `firstLine`; 0 stays 0.
    struct Run {
        std::size_t firstRecord = 0;
        std::size_t firstLine = 0;
    };

    std::vector<Run> runs_;
    std::size_t records_ = 0;
};

}  // namespace vorn2shp
