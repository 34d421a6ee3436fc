#include "text_places.h"

namespace vorn2shp {

const std::string& TextPlaces::valuesFile() const {
    return options_.definitionsPath.empty() ? effPath_ : options_.definitionsPath;
}

std::size_t TextPlaces::valuesLine(std::size_t recordLine) const {
    return options_.definitionsPath.empty() ? recordLine
                                            : options_.definitionLines.lineOf(recordLine);
}

std::string TextPlaces::valuesPlace(std::size_t recordLine) const {
    const std::string line = std::to_string(valuesLine(recordLine));
    return options_.definitionsPath.empty() ? effPath_ + ": line " + line
                                            : options_.definitionsPath + ":" + line;
}

std::string TextPlaces::fieldListPlace() const {
    return options_.infoPath.empty() ? options_.fieldListPath : options_.infoPath + ":2";
}

}  // namespace vorn2shp
