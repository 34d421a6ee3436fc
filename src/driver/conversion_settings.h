// One run as the command line asks for it.
#pragma once

#include <string>

#include "common/column_choices.h"

namespace vorn2shp {

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
    ColumnChoices columns;       // the kinds and widths of the table's columns
};

}  // namespace vorn2shp
