// The steps from the polygons of a union to the rings an object writes.
// Only triangle_union.cpp uses this header.
#pragma once

#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp::unionrings {

// The polygons as output.eff.imd will hold them: every point on the values
// its four decimals give, and points that become one point taken once. A
// ring squeezed below three corners covers nothing and is left out (with
// the holes of an outer ring so left out).
std::vector<PolygonRings> asWritten(const std::vector<PolygonRings>& polygons);

// The area the polygons cover: outer rings less their holes, whichever way
// each ring runs.
double coveredArea(const std::vector<PolygonRings>& polygons);

// The summed length of every ring.
double perimeter(const std::vector<PolygonRings>& polygons);

// The rings in writing order, each closed: first the outer ring of the
// polygon that holds the first triangle, starting at its corner 12, else 13,
// else 23 when the ring passes it, else at the ring's corner that the
// triangles meet first (corners 12, 13, 23 of each in turn). Then every
// other ring in the order the triangles first meet it, starting there;
// rings made only of crossing points come last, from their lowest point.
// Outer rings turn like the first triangle, holes the other way.
std::vector<Ring> orderedRings(const std::vector<PolygonRings>& polygons,
                               const std::vector<Triangle>& triangles);

}  // namespace vorn2shp::unionrings
