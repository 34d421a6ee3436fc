// Joining the corners that different tuples compute for one place.
//
// Each tuple computes its corners on its own, so neighbours' shared corners
// can differ in the last bits. Corners within the tolerance become one
// vertex, which keeps the coordinates of the corner met first: the outline
// then has no slivers and no near-duplicate points.
#include <algorithm>
#include <cmath>
#include <cstdint>

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

// Neighbouring tuples mostly compute the corner they share to the same
// bits. A vertex made at exactly a corner's place is the vertex that corner
// joins: were an earlier vertex within the tolerance of that place, the
// vertex would not have been made. So the vertices are also kept by their
// exact place, in a table where a newer vertex takes the slot of an older
// one, and most corners are settled there without a look into the grid.
class ExactPlaces {
public:
    explicit ExactPlaces(std::size_t corners) {
        constexpr std::size_t kMostSlots = std::size_t{1} << 16;
        std::size_t size = 64;
        while (size < corners && size < kMostSlots) {
            size *= 2;
        }
        slots_.assign(size, kNone);
    }

    // The vertex made at exactly `p`, when the table still holds it.
    bool find(Point p, const std::vector<Point>& vertices, merge::VertexId& vertex) const {
        const merge::VertexId id = slots_[slotOf(p)];
        if (id == kNone || vertices[id] != p) {
            return false;
        }
        vertex = id;
        return true;
    }

    void note(Point p, merge::VertexId vertex) { slots_[slotOf(p)] = vertex; }

private:
    static constexpr merge::VertexId kNone = UINT32_MAX;

    std::size_t slotOf(Point p) const {
        return static_cast<std::size_t>(placeHash(p)) & (slots_.size() - 1);
    }

    std::vector<merge::VertexId> slots_;
};

// The vertex that `corner` joins: the earliest vertex within the tolerance,
// or a new one at the corner itself.
merge::VertexId vertexFor(Point corner, double reach, SpatialGrid& grid, ExactPlaces& exact,
                          std::vector<Point>& vertices) {
    constexpr merge::VertexId kNone = UINT32_MAX;
    merge::VertexId best = kNone;
    if (exact.find(corner, vertices, best)) {
        return best;
    }
    grid.forEachWithin(corner, reach, [&](std::uint32_t id) {
        if (id < best && sameCorner(vertices[id], corner)) {
            best = id;
        }
    });
    if (best == kNone) {
        best = static_cast<merge::VertexId>(vertices.size());
        vertices.push_back(corner);
        grid.insert(corner, best);
        exact.note(corner, best);
    }
    return best;
}

}  // namespace

bool sameCorner(Point a, Point b) { return sameCoordinate(a.x, b.x) && sameCoordinate(a.y, b.y); }

namespace merge {

double toleranceNear(double magnitude) {
    return kAbsoluteTolerance + kRelativeTolerance * magnitude;
}

double toleranceForSides(const std::vector<Side>& sides, const std::vector<Point>& vertices) {
    double largest = 0.0;
    for (const Side& s : sides) {
        for (const VertexId v : {s.from, s.to}) {
            largest = std::max({largest, std::fabs(vertices[v].x), std::fabs(vertices[v].y)});
        }
    }
    return toleranceNear(largest);
}

double toleranceForSegments(const std::vector<Segment>& segments) {
    double largest = 0.0;
    for (const Segment& s : segments) {
        for (const Point p : {s.from, s.to}) {
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
        }
    }
    return toleranceNear(largest);
}

merge::SnappedCorners snapCorners(const std::vector<Triangle>& triangles) {
    // No two corners that are one corner lie further apart per axis than
    // `reach`; with cells sixteen times that, a look-up mostly meets one
    // cell, and a cell holds few vertices, which are never closer than that.
    // A triangle brings about one new vertex.
    const double reach = toleranceNear(largestMagnitude(triangles));
    SpatialGrid grid(16.0 * reach, triangles.size() + 2);
    ExactPlaces exact(3 * triangles.size());
    SnappedCorners snapped;
    snapped.vertices.reserve(triangles.size() + 2);
    snapped.corners.reserve(triangles.size());
    for (const Triangle& t : triangles) {
        const VertexId a = vertexFor(t.c12, reach, grid, exact, snapped.vertices);
        const VertexId b = vertexFor(t.c13, reach, grid, exact, snapped.vertices);
        const VertexId c = vertexFor(t.c23, reach, grid, exact, snapped.vertices);
        snapped.corners.push_back({a, b, c});
    }
    return snapped;
}

}  // namespace merge
}  // namespace vorn2shp
