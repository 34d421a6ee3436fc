// Joining the corners that different tuples compute for one place.
//
// Each tuple computes its corners on its own, so neighbours' shared corners
// can differ in the last bits. Corners within the tolerance become one
// vertex, which keeps the coordinates of the corner met first: the outline
// then has no slivers and no near-duplicate points.
#include <algorithm>
#include <cmath>

#include "merge_steps.h"
#include "outline_merge.h"
#include "spatial_grid.h"

namespace vorn2shp {

namespace {

constexpr double kAbsoluteTolerance = 5e-5;
constexpr double kRelativeTolerance = 1e-9;

bool sameCoordinate(double a, double b) {
    return std::fabs(a - b) <= merge::toleranceNear(std::max(std::fabs(a), std::fabs(b)));
}

double largestMagnitude(const std::vector<Triangle>& triangles) {
    double largest = 0.0;
    for (const Triangle& t : triangles) {
        for (const Point& p : {t.c12, t.c13, t.c23}) {
            for (const double v : {p.x, p.y}) {
                if (std::isfinite(v)) {
                    largest = std::max(largest, std::fabs(v));
                }
            }
        }
    }
    return largest;
}

// The vertex that `corner` joins: the earliest vertex within the tolerance,
// or a new one at the corner itself.
merge::VertexId vertexFor(Point corner, double reach, SpatialGrid& grid,
                          std::vector<Point>& vertices) {
    constexpr merge::VertexId kNone = UINT32_MAX;
    merge::VertexId best = kNone;
    grid.forEachWithin(corner, reach, [&](std::uint32_t id) {
        if (id < best && sameCorner(vertices[id], corner)) {
            best = id;
        }
    });
    if (best == kNone) {
        best = static_cast<merge::VertexId>(vertices.size());
        vertices.push_back(corner);
        grid.insert(corner, best);
    }
    return best;
}

}  // namespace

bool sameCorner(Point a, Point b) { return sameCoordinate(a.x, b.x) && sameCoordinate(a.y, b.y); }

namespace merge {

double toleranceNear(double magnitude) {
    return kAbsoluteTolerance + kRelativeTolerance * magnitude;
}

merge::SnappedCorners snapCorners(const std::vector<Triangle>& triangles) {
    // No two corners that are one corner lie further apart per axis than
    // `reach`; with cells four times that, a look-up mostly meets one cell.
    const double reach = toleranceNear(largestMagnitude(triangles));
    SpatialGrid grid(4.0 * reach, 3 * triangles.size());
    SnappedCorners snapped;
    snapped.vertices.reserve(triangles.size() + 2);
    snapped.corners.reserve(triangles.size());
    for (const Triangle& t : triangles) {
        const VertexId a = vertexFor(t.c12, reach, grid, snapped.vertices);
        const VertexId b = vertexFor(t.c13, reach, grid, snapped.vertices);
        const VertexId c = vertexFor(t.c23, reach, grid, snapped.vertices);
        snapped.corners.push_back({a, b, c});
    }
    return snapped;
}

}  // namespace merge
}  // namespace vorn2shp
