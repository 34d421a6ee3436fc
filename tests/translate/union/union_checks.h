// Independent checks of union outlines for the tests, with GEOS used the
// plain way: the union folded pair by pair, and the rings assembled into
// polygons the way a reader of the shapefile does.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "translate/geometry/geometry.h"

namespace vorn2shp {
// How GoogleTest prints a point in a failed expectation.
void PrintTo(const Point& p, std::ostream* out);
}  // namespace vorn2shp

namespace vorn2shp::testing {

// The area of the union of the triangles, folded one triangle at a time.
double foldedUnionArea(const std::vector<Triangle>& triangles);

// The rings assembled as a reader assembles them (rings turning like
// `outerTurn` are outer rings, each other ring a hole of the smallest outer
// ring that covers it), then GEOS's verdict: "Valid Geometry" or its reason.
std::string validityAsRead(const std::vector<Ring>& rings, double outerTurn);

// The rings a reader splits the written points into: a point equal to the
// ring's first, three or more points after it, closes the ring.
std::vector<Ring> ringsAsSplit(const std::vector<Ring>& rings);

// True when every point is exactly the value its "%.4f" text reads back as.
bool onWrittenValues(const std::vector<Ring>& rings);

}  // namespace vorn2shp::testing
