// Turns the rings of a polygon shape the way the shapefile format wants
// them: outer rings clockwise, holes counter-clockwise.
#pragma once

#include <shapefil.h>

namespace vorn2shp {

// Decides and turns every ring just as shapelib's SHPRewindObject does, so
// the bytes written are the same: a ring is a hole when the middle of its
// first edge lies inside an odd number of the other rings, by the crossings
// of a ray from it towards -x, and a ring is reversed when it turns the
// other way than that asks. SHPRewindObject reads every edge of every other
// ring for each ring, which for an object of thousands of islands takes
// longer than all the rest of its writing; here a ray reads only the edges
// that span its height. Returns how many rings were reversed.
int rewindRings(SHPObject& shape);

}  // namespace vorn2shp
