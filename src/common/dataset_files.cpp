#include "common/dataset_files.h"

namespace vorn2shp {

// shapelib cuts at the last '.' of the last component, but never at the
// path's first character.
std::string datasetBase(const std::string& outputBase) {
    const std::size_t dot = outputBase.rfind('.');
    const std::size_t slash = outputBase.find_last_of("/\\");
    const std::size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot == 0 || dot < componentStart) {
        return outputBase;
    }
    return outputBase.substr(0, dot);
}

std::vector<std::string_view> datasetParts(const SideFiles& sides) {
    std::vector<std::string_view> parts{"shp", "shx", "dbf"};
    if (sides.codePage) {
        parts.push_back("cpg");
    }
    if (sides.projection) {
        parts.push_back("prj");
    }
    if (sides.spatialIndex) {
        parts.push_back("qix");
    }
    return parts;
}

}  // namespace vorn2shp
