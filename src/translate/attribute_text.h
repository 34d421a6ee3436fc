// What the export will make of an object's attribute text, written behind
// its outline on the object's line of output.eff.imd.
#pragma once

#include <string>

namespace vorn2shp {

// For a text that begins like a coordinate pair, the text quoted and what
// the export reads of it, e.g. '"(1,2),oak", begins like a coordinate pair,
// but its pairs close no ring: they stay attribute values'; empty for any
// other text, which is all values.
std::string howCoordinatesAreRead(const std::string& attributes);

}  // namespace vorn2shp
