// Joining the corners that different tuples compute for one place.
//
// Each tuple computes its corners on its own, so neighbours' shared corners
// can differ in the last bits. Corners within the tolerance become one
// vertex, which keeps the coordinates of the corner met first: the outline
// then has no slivers and no near-duplicate points.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "merge/merge_steps.h"
#include "merge/outline_merge.h"
#include "merge/spatial_grid.h"

namespace vorn2shp {

namespace {

constexpr double kAbsoluteTolerance = 5e-5;
// A few units in the last place of a double, relative: the corners that two
// tuples compute for one place from different lines differ by that much
// even where nothing else separates them.
constexpr double kLastPlaces = 4 * 0x1p-52;

double slackNear(double magnitude) { return kAbsoluteTolerance + kLastPlaces * magnitude; }

bool withinOnBothAxes(Point a, Point b, double extra) {
    return std::fabs(a.x - b.x) <= slackNear(std::max(std::fabs(a.x), std::fabs(b.x))) + extra &&
           std::fabs(a.y - b.y) <= slackNear(std::max(std::fabs(a.y), std::fabs(b.y))) + extra;
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

// The vertices made so far, found by place. Most corners are computed to a
// few units in their last place; those whose two lines meet at a shallow
// angle may be off by far more (their computed slack). Vertices are kept in
// grids by slack, each four times as loose as the one before with cells to
// match, so that the loose few do not make every look-up wide.
class VertexIndex {
public:
    // `magnitude` is the largest coordinate: cells are numbered in 32 bits,
    // so they are never smaller than it allows.
    VertexIndex(double base, double magnitude, std::size_t expected)
        : base_(base), smallestCell_(kCellsAcross * magnitude), expected_(expected) {}

    // Calls visit(id) for every vertex that may lie within base + `slack`
    // + its own slack of `p`.
    template <class Visit>
    void forEachNear(Point p, double slack, Visit&& visit) const {
        for (const Level& level : levels_) {
            if (level.grid) {
                // A corner known only very loosely looks no further than a
                // few cells: its joins beyond them are given up, not paid for.
                const double reach =
                    std::min(base_ + slack + level.loosest, kMostCells * level.cell);
                level.grid->forEachWithin(p, reach, visit);
            }
        }
    }

    void insert(Point p, double slack, merge::VertexId id) { levelFor(slack).grid->insert(p, id); }

private:
    static constexpr double kFirstLoosest = 16.0;  // times the base, for the first grid
    static constexpr double kLooserBy = 4.0;
    static constexpr double kMostCells = 4.0;
    static constexpr std::size_t kMostLevels = 24;
    static constexpr double kCellsAcross = 4e-9;

    struct Level {
        double loosest;  // the largest slack of a vertex in it
        double cell;
        std::unique_ptr<SpatialGrid> grid;
    };

    Level& levelFor(double slack) {
        std::size_t k = 0;
        double loosest = kFirstLoosest * base_;
        while (slack > loosest && k + 1 < kMostLevels) {
            loosest *= kLooserBy;
            ++k;
        }
        while (levels_.size() <= k) {
            const double l = kFirstLoosest * base_ * std::pow(kLooserBy, levels_.size());
            levels_.push_back(Level{l, std::max(2.0 * (base_ + l), smallestCell_), nullptr});
        }
        Level& level = levels_[k];
        if (!level.grid) {
            // The tightest grid holds nearly every vertex, the looser ones
            // few; each must grow as a table, not read through as a list.
            constexpr std::size_t kLooseExpected = 64;
            level.grid = std::make_unique<SpatialGrid>(
                level.cell, k == 0 ? expected_ : std::max(kLooseExpected, expected_ / 64));
        }
        return level;
    }

    double base_;
    double smallestCell_;
    std::size_t expected_;
    std::vector<Level> levels_;
};

struct Corner {
    Point place;
    double slack;
};

// The vertex that `corner` joins: the earliest vertex within the tolerance,
// or a new one at the corner itself. `slack` holds each vertex's computed
// slack.
merge::VertexId vertexFor(const Corner& corner, VertexIndex& index, ExactPlaces& exact,
                          merge::SnappedCorners& snapped, std::vector<double>& slack) {
    constexpr merge::VertexId kNone = UINT32_MAX;
    merge::VertexId best = kNone;
    if (exact.find(corner.place, snapped.vertices, best)) {
        return best;
    }
    index.forEachNear(corner.place, corner.slack, [&](std::uint32_t id) {
        if (id < best &&
            withinOnBothAxes(snapped.vertices[id], corner.place, corner.slack + slack[id])) {
            best = id;
        }
    });
    if (best == kNone) {
        best = static_cast<merge::VertexId>(snapped.vertices.size());
        snapped.vertices.push_back(corner.place);
        slack.push_back(corner.slack);
        index.insert(corner.place, corner.slack, best);
        exact.note(corner.place, best);
    } else if (slack[best] > kAbsoluteTolerance && corner.slack < slack[best]) {
        // A copy computed so loosely that four decimals could show it gives
        // way to a closer one: the vertex is where the lines meet.
        snapped.vertices[best] = corner.place;
        slack[best] = corner.slack;
        exact.note(corner.place, best);
    }
    return best;
}

}  // namespace

bool sameCorner(Point a, Point b) { return withinOnBothAxes(a, b, 0.0); }

namespace merge {

double toleranceNear(double magnitude) { return slackNear(magnitude); }

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

SnappedCorners snapCorners(const std::vector<Triangle>& triangles,
                           const std::vector<CornerBounds>& bounds) {
    const double magnitude = largestMagnitude(triangles);
    VertexIndex index(toleranceNear(magnitude), magnitude, triangles.size() + 2);
    ExactPlaces exact(3 * triangles.size());
    SnappedCorners snapped;
    snapped.vertices.reserve(triangles.size() + 2);
    snapped.corners.reserve(triangles.size());
    std::vector<double> vertexSlack;  // the computed slack of each vertex's place
    vertexSlack.reserve(triangles.size() + 2);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const Triangle& tri = triangles[t];
        const double size = bounds.empty() ? 0.0 : sizeOf(tri);
        const auto corner = [&](Point place, std::size_t k) {
            const double slack = bounds.empty() ? 0.0 : boundFraction(bounds[t].computed[k]) * size;
            return vertexFor(Corner{place, slack}, index, exact, snapped, vertexSlack);
        };
        const VertexId a = corner(tri.c12, 0);
        const VertexId b = corner(tri.c13, 1);
        const VertexId c = corner(tri.c23, 2);
        snapped.corners.push_back({a, b, c});
    }
    return snapped;
}

}  // namespace merge
}  // namespace vorn2shp
