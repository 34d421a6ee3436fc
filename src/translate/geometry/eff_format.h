// The text of output.eff.imd.
#pragma once

#include <string>

#include "geometry/geometry.h"

namespace vorn2shp {

// Appends "(x,y)," with four decimals, y negated: the file's y axis points
// the other way from the constraints' (0 is written "-0.0000").
void appendEffPoint(std::string& out, Point p);

// The point that appendEffPoint's text reads back as: each coordinate the
// value its four decimals give. Written again, it gives the same text.
Point writtenPoint(Point p);

// Whether a ring, closed or not, collapses when written: fewer than three
// distinct points, or all of them on one line, as its four decimals give
// them. Such a ring has no area to write.
bool collapsesWhenWritten(const Ring& ring);

}  // namespace vorn2shp
