// The last stage of a run: validates output.eff.imd and writes it as a
// shapefile (.shp, .shx) with its attribute table (.dbf).
#pragma once

#include <string>
#include <vector>

namespace vorn2shp {

// Returns 0 when every output file has been written and closed, 1 after a
// fault whose messages have been printed. Side files of an earlier dataset
// at `outputBase` are removed first, but never one of the run's `inputs`.
int exportShapefile(const std::string& effPath, const std::string& outputBase,
                    const std::vector<std::string>& inputs = {});

}  // namespace vorn2shp
