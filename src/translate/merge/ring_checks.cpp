// Telling an edge-to-edge tiling from overlapping triangles by its rings.
//
// The rings of a tiling neither cross nor touch except in shared vertices,
// and they nest like a map: each hole lies in one outer ring more than in
// other holes, each outer ring in as many holes as outer rings.
#include <algorithm>
#include <cmath>
#include <utility>

#include "merge/merge_steps.h"
#include "merge/winding_bands.h"

namespace vorn2shp::merge {

namespace {

// Enough for any real object; beyond it the nesting test gives up quietly
// rather than cost more than the merge itself.
constexpr std::size_t kNestingBudget = 20'000'000;

struct Edge {
    VertexId from;
    VertexId to;
    std::uint32_t ring;
};

std::vector<Edge> ringEdges(const std::vector<TracedRing>& rings) {
    std::vector<Edge> edges;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const auto& v = rings[r].vertices;
        for (std::size_t i = 0; i < v.size(); ++i) {
            edges.push_back(Edge{v[i], v[(i + 1) % v.size()], static_cast<std::uint32_t>(r)});
        }
    }
    return edges;
}

bool nestedLikeOverlap(const std::vector<TracedRing>& rings, const std::vector<Edge>& edges,
                       const std::vector<Point>& vertices, double turn) {
    if (rings.size() == 1) {
        return ringArea(rings.front(), vertices) * turn < 0.0;
    }
    std::vector<Segment> segments;
    segments.reserve(edges.size());
    for (const Edge& e : edges) {
        segments.push_back(Segment{vertices[e.from], vertices[e.to]});
    }
    // Bands about one edge high, and never thinner than the corner tolerance.
    const double height = std::max(2.0 * toleranceForSegments(segments), meanLength(segments));
    const WindingBands bands(segments, height, kNestingBudget, rings.size());
    std::size_t work = 0;
    for (std::size_t r = 0; r < rings.size() && bands.complete() && work < kNestingBudget; ++r) {
        const Point a = vertices[rings[r].vertices[0]];
        const Point b = vertices[rings[r].vertices[1 % rings[r].vertices.size()]];
        const Point middle{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        const bool hole = ringArea(rings[r], vertices) * turn < 0.0;
        const long expected = hole ? 1 : 0;
        // The winding of every ring but this one, in the rings' own sense.
        long winding = 0;
        work += bands.forEachCrossing(middle, [&](std::uint32_t i, int direction) {
            if (edges[i].ring != r) {
                winding += direction;
            }
        });
        if ((turn > 0.0 ? winding : -winding) != expected) {
            return true;
        }
    }
    return false;
}

}  // namespace

RingContacts inspectRings(const std::vector<TracedRing>& rings, const SideContacts& contacts,
                          const std::vector<Point>& vertices, double turn) {
    RingContacts result;
    result.cornerOnSide = !contacts.corners.empty();
    result.overlap = !contacts.crossings.empty();
    if (!rings.empty() && !result.cornerOnSide && !result.overlap) {
        result.overlap = nestedLikeOverlap(rings, ringEdges(rings), vertices, turn);
    }
    return result;
}

}  // namespace vorn2shp::merge
