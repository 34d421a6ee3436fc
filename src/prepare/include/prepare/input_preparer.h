// The first stage of a run: filters the constraint file into first.imd,
// copies <base>.def to def.imd and writes the field list of <base>.info to
// DBF$$$.fld, all in the run's work directory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "common/console.h"
#include "common/work_directory.h"

namespace vorn2shp {

class InputPreparer {
public:
    // The intermediate files go in `work`.
    explicit InputPreparer(WorkDirectory work = {}) : work_(std::move(work)) {}

    // Runs the whole pass and prints its two console lines on `console`. False when the
    // run cannot go on; the reason has been reported on stderr. The user's
    // files are all checked before anything is written, and none of them is
    // ever created or changed. The bytes of the constraint file and the
    // .def are told to the console's meter as they are read.
    bool prepare(const std::string& inputPath, const std::string& outputBase, Console& console);

private:
    WorkDirectory work_;
};

// The name of a side file ("def" or "info") that belongs to `inputPath`: the
// last path component is cut at its first '.' (leading dots skipped) and the
// extension appended, so maps.old/town.txt gives maps.old/town.def.
std::string sideFileName(const std::string& inputPath, const std::string& extension);

// A line of the constraint file: its number, counted from 1 as an editor
// counts them, and its text.
struct SourceLine {
    std::size_t number = 0;
    std::string text;
};

// The line of the constraint file at `inputPath` that became line
// `preparedLine` of first.imd; for a number past the last one, the end of
// the text, the file's last line. Nothing when the file cannot be read.
std::optional<SourceLine> findSourceLine(const std::string& inputPath, std::size_t preparedLine);

}  // namespace vorn2shp
