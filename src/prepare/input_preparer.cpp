#include "input_preparer.h"

namespace vorn2shp {

bool InputPreparer::prepare(const std::string&, const std::string&) { return true; }

std::string sideFileName(const std::string& inputPath, const std::string& extension) {
    return inputPath + "." + extension;
}

}  // namespace vorn2shp
