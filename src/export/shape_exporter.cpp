#include "shape_exporter.h"

namespace vorn2shp {

// Stand-in until the export stage exists.
int exportShapefile(const std::string&, const std::string&) { return 0; }

}  // namespace vorn2shp
