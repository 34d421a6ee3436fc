// Independent checks of merged outlines for the tests: plain geometry,
// written without the merge's own code.
#pragma once

#include <cstddef>
#include <vector>

#include "translate/geometry.h"

namespace vorn2shp::testing {

// Shoelace area; positive for counter-clockwise rings.
double shoelaceArea(const Ring& ring);
// Sum of the triangles' areas, all taken positive.
double totalTriangleArea(const std::vector<Triangle>& triangles);
// +1 when the triangle's corners 12 -> 13 -> 23 turn counter-clockwise.
double turnOf(const Triangle& t);

bool isClosed(const Ring& ring);
// True when a corner other than the closing one comes twice.
bool repeatsACorner(const Ring& ring);

// True when two sides of the rings cross or touch, apart from sides that
// merely share an end point. Sweeps in x, so long rings stay cheap.
bool sidesCrossOrTouch(const std::vector<Ring>& rings);

// True when the two closed rings are the same cycle of points, from any
// start; `eitherWay` also accepts the reverse direction.
bool sameCycle(const Ring& a, const Ring& b, bool eitherWay);

// Where the triangles first meet a point of `ring`, counting corners
// 12, 13, 23 of each triangle in turn; SIZE_MAX when they never do.
std::size_t firstMeeting(const std::vector<Triangle>& triangles, const Ring& ring);

}  // namespace vorn2shp::testing
