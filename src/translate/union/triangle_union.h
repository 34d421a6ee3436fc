// The outline of an object whose triangles overlap or do not meet edge to
// edge: the exact union of its triangles, computed with GEOS.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp {

namespace geos {
class Context;
}

struct UnionOutline {
    // The rings in writing order, on the values their four decimals give;
    // empty when GEOS could not compute the union.
    std::vector<Ring> rings;
    // True when the union in full precision could not be written as a valid
    // polygon (rounded, it turned invalid, or GEOS could not compute it), so
    // the union was snap-rounded onto the grid of the written values.
    bool onGrid = false;
    // Why the rings fail the check that they form a valid polygon of the
    // union's area, or why there are none; empty when all is well.
    std::string fault;
    // Rings of the union left out because four decimals squeeze them below
    // three corners.
    std::size_t collapsedRings = 0;
};

class TriangleUnion {
public:
    TriangleUnion();
    ~TriangleUnion();
    TriangleUnion(const TriangleUnion&) = delete;
    TriangleUnion& operator=(const TriangleUnion&) = delete;

    // `traced` is the union as the merge traced it from the triangles'
    // sides (see MergeResult); when it is empty, GEOS takes the union of
    // the triangles themselves.
    UnionOutline outline(const std::vector<Triangle>& triangles,
                         const std::vector<PolygonRings>& traced = {});

private:
    std::unique_ptr<geos::Context> context_;
};

}  // namespace vorn2shp
