// The last stage of a run: validates output.eff.imd and writes it as a
// shapefile (.shp, .shx) with its attribute table (.dbf).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/console.h"

namespace vorn2shp {

// What the user asked for beyond the shapefile itself.
struct ExportOptions {
    // The code page of the attribute text, written to <base>.cpg. Empty: UTF-8
    // when the text is valid UTF-8, and no .cpg otherwise.
    std::string codePage;
    // The bytes of <base>.prj, the coordinate system; none: no .prj.
    std::optional<std::string> projection;
    // Whether to write <base>.qix, a spatial index of the shapes.
    bool spatialIndex = false;
};

// Returns 0 when every output file has been written and closed, 1 after a
// fault whose messages have been printed (the fixed ones on `console`).
// Side files of an earlier dataset at `outputBase` that this run does not
// write are removed first, but never one of the run's `inputs`.
int exportShapefile(const std::string& effPath, const std::string& outputBase,
                    const ExportOptions& options, Console& console,
                    const std::vector<std::string>& inputs = {});

}  // namespace vorn2shp
