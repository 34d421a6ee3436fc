#include "text_places.h"

namespace vorn2shp {

const std::string& TextPlaces::valuesFile() const {
    return definitionsPath_.empty() ? effPath_ : definitionsPath_;
}

std::size_t TextPlaces::valuesLine(std::size_t recordLine) const {
    return definitionsPath_.empty() ? recordLine : definitionLines_.lineOf(recordLine);
}

std::string TextPlaces::valuesPlace(std::size_t recordLine) const {
    const std::string line = std::to_string(valuesLine(recordLine));
    return definitionsPath_.empty() ? effPath_ + ": line " + line : definitionsPath_ + ":" + line;
}

std::string TextPlaces::fieldListPlace() const {
    return infoPath_.empty() ? fieldListPath_ : infoPath_ + ":2";
}

}  // namespace vorn2shp
