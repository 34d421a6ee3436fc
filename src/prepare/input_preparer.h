// The first stage of a run: filters the constraint file into first.imd,
// copies <base>.def to def.imd and writes the field list of <base>.info to
// DBF$$$.fld, all in the working directory.
#pragma once

#include <string>

namespace vorn2shp {

class InputPreparer {
public:
    InputPreparer() = default;

    // Runs the whole pass. False when the run cannot go on; the reason has
    // been reported on stderr.
    bool prepare(const std::string& inputPath, const std::string& outputBase);
};

// The name of a side file ("def" or "info") that belongs to `inputPath`.
std::string sideFileName(const std::string& inputPath, const std::string& extension);

}  // namespace vorn2shp
