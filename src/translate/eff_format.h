// The text of output.eff.imd.
#pragma once

#include <string>

#include "translate/geometry.h"

namespace vorn2shp {

// Appends "(x,y)," with four decimals, y negated: the file's y axis points
// the other way from the constraints' (0 is written "-0.0000").
void appendEffPoint(std::string& out, Point p);

}  // namespace vorn2shp
