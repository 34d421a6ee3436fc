// The conversion pipeline: the stages in their fixed order, and the exit
// status that the run ends with.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "common/staging.h"
#include "export/shape_exporter.h"

namespace vorn2shp {

enum class ExitStatus { Ok = 0, Failure = 1, Usage = 2 };

// One run as the command line asks for it.
struct ConversionSettings {
    std::string inputPath;
    std::string outputBase;
    bool quiet = false;          // no progress transcript on stdout
    bool verbose = false;        // every warning named, none only counted
    std::string projectionPath;  // the .prj to copy beside the shapefile; empty: none
    std::string codePage;        // the code page of the .def text; empty: found from the text
    bool spatialIndex = false;   // write <base>.qix
    bool progress = false;       // draw the run's progress on stderr
    std::string workDirectory;   // where the intermediate files go; empty: the working directory
    bool keepY = false;          // y as the constraints give it, not negated
    bool detectTypes = false;    // columns of numbers become number columns
    // The types given to columns by name, in the order given.
    std::vector<std::pair<std::string, ColumnType>> columnTypes;
    std::size_t textWidth = kDefaultTextWidth;  // of the text columns; 0: each its widest value
};

// Runs every stage once, in order, with the intermediate files in the work
// directory, and prints the closing lines when all of them succeeded. The
// process never leaves the directory it was started in. The run first takes
// the work directory for itself (a second run there at the same time is
// refused), settles what a run that was cut off left at the output base,
// checks the files it reads against those it writes, and reads a
// .prj to copy, so a busy directory, an input that the run would overwrite,
// a link at a name it writes or a .prj that cannot be read stops it before
// anything is written. The shapefile is staged through `staging`.
ExitStatus runConversion(const ConversionSettings& settings, StagingRegistry& staging);

}  // namespace vorn2shp
