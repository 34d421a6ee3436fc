// Telling an edge-to-edge tiling from overlapping triangles by its rings.
//
// The rings of a tiling neither cross nor touch except in shared vertices,
// and they nest like a map: each hole lies in one outer ring more than in
// other holes, each outer ring in as many holes as outer rings.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "cell_lists.h"
#include "merge_steps.h"
#include "winding_bands.h"

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

double sideOf(Point a, Point b, Point p) {
    const double o = orientation(a, b, p);
    return o > 0.0 ? 1.0 : (o < 0.0 ? -1.0 : 0.0);
}

bool properlyCross(Point p1, Point p2, Point q1, Point q2) {
    return sideOf(q1, q2, p1) * sideOf(q1, q2, p2) < 0.0 &&
           sideOf(p1, p2, q1) * sideOf(p1, p2, q2) < 0.0;
}

bool endsOn(const Side& s, VertexId v) { return s.from == v || s.to == v; }

// True when p lies in the box around a and b widened by `margin`: a cheap
// first test, since most points asked about lie well away from the side.
bool nearBox(Point p, Point a, Point b, double margin) {
    return std::min(a.x, b.x) - margin <= p.x && p.x <= std::max(a.x, b.x) + margin &&
           std::min(a.y, b.y) - margin <= p.y && p.y <= std::max(a.y, b.y) + margin;
}

// The corner tolerance at the size of the sides' coordinates.
double toleranceForSides(const std::vector<Side>& sides, const std::vector<Point>& vertices) {
    double largest = 0.0;
    for (const Side& s : sides) {
        const Point a = vertices[s.from];
        largest = std::max({largest, std::fabs(a.x), std::fabs(a.y)});
    }
    return toleranceNear(largest);
}

// Looks at one pair of sides for the ends of either lying inside the
// other, and else for a crossing.
class PairInspector {
public:
    PairInspector(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                  SideContacts& found)
        : sides_(sides),
          vertices_(vertices),
          tolerance_(toleranceForSides(sides, vertices)),
          found_(found) {}

    double tolerance() const { return tolerance_; }

    void inspect(std::uint32_t i, std::uint32_t j) {
        const bool cornerOnI = addCornersOn(i, j);
        const bool cornerOnJ = addCornersOn(j, i);
        const Side& e = sides_[i];
        const Side& f = sides_[j];
        if (!cornerOnI && !cornerOnJ && !endsOn(e, f.from) && !endsOn(e, f.to) &&
            properlyCross(vertices_[e.from], vertices_[e.to], vertices_[f.from], vertices_[f.to])) {
            found_.crossings.emplace_back(i, j);
        }
    }

private:
    // The ends of side `other` that lie inside side `on`.
    bool addCornersOn(std::uint32_t on, std::uint32_t other) {
        const Side& e = sides_[on];
        const Point a = vertices_[e.from];
        const Point b = vertices_[e.to];
        bool any = false;
        for (const VertexId v : {sides_[other].from, sides_[other].to}) {
            if (endsOn(e, v) || !nearBox(vertices_[v], a, b, tolerance_)) {
                continue;
            }
            const double along = positionOnSide(vertices_[v], a, b);
            if (along > 0.0) {
                found_.corners.push_back(Cut{on, v, along});
                any = true;
            }
        }
        return any;
    }

    const std::vector<Side>& sides_;
    const std::vector<Point>& vertices_;
    double tolerance_;
    SideContacts& found_;
};

// Up to this many sides every pair is looked at directly: most objects
// are that small, and sorting them into cells would cost more.
constexpr std::size_t kFewSides = 16;

// Each once, in order of side, then of place along it (then of vertex).
void putInOrder(SideContacts& found) {
    const auto byPlace = [](const Cut& l, const Cut& r) {
        return std::tie(l.side, l.along, l.vertex) < std::tie(r.side, r.along, r.vertex);
    };
    const auto same = [](const Cut& l, const Cut& r) {
        return l.side == r.side && l.vertex == r.vertex;
    };
    std::sort(found.corners.begin(), found.corners.end(), byPlace);
    found.corners.erase(std::unique(found.corners.begin(), found.corners.end(), same),
                        found.corners.end());
    std::sort(found.crossings.begin(), found.crossings.end());
    found.crossings.erase(std::unique(found.crossings.begin(), found.crossings.end()),
                          found.crossings.end());
}

double ringArea(const TracedRing& ring, const std::vector<Point>& vertices) {
    std::vector<Point> points;
    points.reserve(ring.vertices.size());
    for (const VertexId v : ring.vertices) {
        points.push_back(vertices[v]);
    }
    return signedArea(points);
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
    double total = 0.0;
    double largest = 0.0;
    for (const Segment& s : segments) {
        total += distance(s.from, s.to);
        largest = std::max({largest, std::fabs(s.from.x), std::fabs(s.from.y)});
    }
    // Bands about one edge high, and never thinner than the corner tolerance.
    const double height =
        std::max(2.0 * toleranceNear(largest), total / static_cast<double>(segments.size()));
    const WindingBands bands(segments, height, kNestingBudget);
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

bool findContacts(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                  std::size_t budget, SideContacts& found) {
    found = SideContacts{};
    PairInspector inspector(sides, vertices, found);
    bool complete = true;
    if (sides.size() <= kFewSides) {
        for (std::uint32_t i = 0; i < sides.size(); ++i) {
            for (std::uint32_t j = i + 1; j < sides.size(); ++j) {
                inspector.inspect(i, j);
            }
        }
    } else {
        std::vector<Segment> segments;
        segments.reserve(sides.size());
        for (const Side& s : sides) {
            segments.push_back(Segment{vertices[s.from], vertices[s.to]});
        }
        const CellLists cells(std::move(segments), inspector.tolerance());
        complete = cells.forEachPair(
            budget, [&](std::uint32_t i, std::uint32_t j) { inspector.inspect(i, j); });
    }
    putInOrder(found);
    return complete;
}

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
