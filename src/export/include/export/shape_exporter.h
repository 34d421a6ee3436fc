// The last stage of a run: validates output.eff.imd and writes it as a
// shapefile (.shp, .shx) with its attribute table (.dbf).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/attribute_lines.h"
#include "common/column_choices.h"
#include "common/console.h"
#include "common/staging.h"
#include "common/work_directory.h"

namespace vorn2shp {

// What the user asked for beyond the shapefile itself, and where the text
// of output.eff.imd came from.
struct ExportOptions {
    // The code page of the attribute text, written to <base>.cpg. Empty: UTF-8
    // when the text is valid UTF-8, and no .cpg otherwise.
    std::string codePage;
    // The bytes of <base>.prj, the coordinate system; none: no .prj.
    std::optional<std::string> projection;
    // Whether to write <base>.qix, a spatial index of the shapes.
    bool spatialIndex = false;
    // Whether y is written as the constraints give it: output.eff.imd holds
    // it negated, which the shapefile keeps unless this is set.
    bool keepY = false;

    // The kinds and widths of the table's columns.
    ColumnChoices columns;

    // The messages about values and field names name the user's files: the
    // .def, with the line each record line took its values from, and the
    // .info, whose second line declares the field names. Where a path is
    // empty, they name output.eff.imd and its line, or DBF$$$.fld.
    std::string definitionsPath;
    AttributeLines definitionLines;
    std::string infoPath;
    // The field list that the preparation wrote.
    std::string fieldListPath = intermediate::kFieldList;
};

// Writes the output files in a staging directory of `staging` and moves
// them into place at `outputBase` once all of them are complete, taking
// away in the same step the side files of an earlier dataset there that
// this run does not write, but never one of the run's `inputs`. True when
// that is done; false after a fault whose messages have been printed (the
// fixed ones on `console`), and the earlier files at `outputBase` are then
// as they were.
bool exportShapefile(const std::string& effPath, const std::string& outputBase,
                     const ExportOptions& options, Console& console, StagingRegistry& staging,
                     const std::vector<std::string>& inputs = {});

// Settles what runs that were cut off (killed, or the machine stopped) left
// in the directory of `outputBase`: a commit recorded in a staging directory
// is finished when all its new files are there and undone otherwise, and a
// staging directory without a record is removed, each told on stderr.
// Staging directories of runs still at work are left alone.
void settleUnfinishedCommits(const std::string& outputBase, StagingRegistry& staging);

}  // namespace vorn2shp
