// The last stage of a run: validates output.eff.imd and writes it as a
// shapefile (.shp, .shx) with its attribute table (.dbf).
#pragma once

#include <string>

namespace vorn2shp {

// Returns 0 when every output file has been written and closed, 1 after a
// fault whose messages have been printed.
int exportShapefile(const std::string& effPath, const std::string& outputBase);

}  // namespace vorn2shp
