// Telling an edge-to-edge tiling from overlapping triangles by its rings.
//
// The rings of a tiling neither cross nor touch except in shared vertices,
// and they nest like a map: each hole lies in one outer ring more than in
// other holes, each outer ring in as many holes as outer rings.
#include <algorithm>
#include <cmath>
#include <utility>

#include "translate/merge_steps.h"
#include "translate/spatial_grid.h"

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

bool endsOn(const Edge& e, VertexId v) { return e.from == v || e.to == v; }

// True when p lies in the box around a and b widened by `margin`: a cheap
// first test, since most points asked about lie well away from the side.
bool nearBox(Point p, Point a, Point b, double margin) {
    return std::min(a.x, b.x) - margin <= p.x && p.x <= std::max(a.x, b.x) + margin &&
           std::min(a.y, b.y) - margin <= p.y && p.y <= std::max(a.y, b.y) + margin;
}

// The vertices of `f` that `e` does not end in, lying on `e`.
bool hasCornerOn(const Edge& e, const Edge& f, const std::vector<Point>& vertices,
                 double tolerance) {
    const Point a = vertices[e.from];
    const Point b = vertices[e.to];
    for (const VertexId v : {f.from, f.to}) {
        if (!endsOn(e, v) && nearBox(vertices[v], a, b, tolerance) &&
            positionOnSide(vertices[v], a, b) > 0.0) {
            return true;
        }
    }
    return false;
}

struct GridScale {
    double cell;
    double tolerance;
};

// The corner tolerance at the size of the rings' coordinates.
double toleranceForEdges(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    double largest = 0.0;
    for (const Edge& e : edges) {
        const Point a = vertices[e.from];
        largest = std::max({largest, std::fabs(a.x), std::fabs(a.y)});
    }
    return toleranceNear(largest);
}

// A cell about one edge long and at least twice the corner tolerance.
GridScale scaleForEdges(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    double total = 0.0;
    for (const Edge& e : edges) {
        const Point a = vertices[e.from];
        const Point b = vertices[e.to];
        total += std::hypot(b.x - a.x, b.y - a.y);
    }
    const double tolerance = toleranceForEdges(edges, vertices);
    const double cell = std::max(2.0 * tolerance, total / static_cast<double>(edges.size()));
    return GridScale{std::isfinite(cell) ? cell : 2.0 * tolerance, tolerance};
}

// What one pair of edges shows: a corner of one on the other, or else a
// proper crossing.
void inspectPair(const Edge& e, const Edge& f, const std::vector<Point>& vertices, double tolerance,
                 RingContacts& contacts) {
    if (hasCornerOn(e, f, vertices, tolerance) || hasCornerOn(f, e, vertices, tolerance)) {
        contacts.cornerOnSide = true;
    } else if (!endsOn(e, f.from) && !endsOn(e, f.to) &&
               properlyCross(vertices[e.from], vertices[e.to], vertices[f.from], vertices[f.to])) {
        contacts.overlap = true;
    }
}

// Up to this many edges the grid would keep all of them in one list (three
// samples an edge, up to 48) and hand every edge to every other anyway;
// most objects are that small, and for them the pairs are looked at
// directly, in the same order, without building the grid.
constexpr std::size_t kFewEdges = 16;

RingContacts contactsAmongFew(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    const double tolerance = toleranceForEdges(edges, vertices);
    RingContacts contacts;
    for (std::size_t i = 0; i < edges.size() && !contacts.cornerOnSide; ++i) {
        for (std::size_t j = i + 1; j < edges.size() && !contacts.cornerOnSide; ++j) {
            inspectPair(edges[i], edges[j], vertices, tolerance, contacts);
        }
    }
    return contacts;
}

// Looks at every pair of edges that come within a cell of each other.
RingContacts edgeContacts(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    if (edges.size() <= kFewEdges) {
        return contactsAmongFew(edges, vertices);
    }
    const GridScale scale = scaleForEdges(edges, vertices);
    SpatialGrid grid(scale.cell, 3 * edges.size());
    // Samples of two edges that come within the tolerance of each other lie
    // at most this far apart.
    const double reach = std::min(scale.cell, 0.5 * scale.cell + scale.tolerance);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        grid.forEachSample(vertices[edges[i].from], vertices[edges[i].to],
                           [&](Point p) { grid.insert(p, static_cast<std::uint32_t>(i)); });
    }
    std::vector<std::size_t> lastPairedWith(edges.size(), SIZE_MAX);
    RingContacts contacts;
    for (std::size_t i = 0; i < edges.size() && !contacts.cornerOnSide; ++i) {
        const Edge& e = edges[i];
        grid.forEachSample(vertices[e.from], vertices[e.to], [&](Point p) {
            grid.forEachWithin(p, reach, [&](std::uint32_t j) {
                if (j <= i || lastPairedWith[j] == i || contacts.cornerOnSide) {
                    return;
                }
                lastPairedWith[j] = i;
                inspectPair(e, edges[j], vertices, scale.tolerance, contacts);
            });
        });
    }
    return contacts;
}

double ringArea(const TracedRing& ring, const std::vector<Point>& vertices) {
    std::vector<Point> points;
    points.reserve(ring.vertices.size());
    for (const VertexId v : ring.vertices) {
        points.push_back(vertices[v]);
    }
    return signedArea(points);
}

// The edges in bands across the longer extent of the rings, so the
// winding number at a point needs only the edges of the point's band. The
// rays run along the bands, in +y when the bands are upright.
class BandIndex {
public:
    BandIndex(const std::vector<Edge>& edges, const std::vector<Point>& vertices)
        : edges_(edges), vertices_(vertices) {
        double lowX = vertices[edges.front().from].x;
        double highX = lowX;
        low_ = vertices[edges.front().from].y;
        double high = low_;
        for (const Edge& e : edges) {
            const Point p = vertices[e.from];
            lowX = std::min(lowX, p.x);
            highX = std::max(highX, p.x);
            low_ = std::min(low_, p.y);
            high = std::max(high, p.y);
        }
        upright_ = highX - lowX > high - low_;
        if (upright_) {
            low_ = lowX;
            high = highX;
        }
        const double count = static_cast<double>(edges.size());
        height_ = std::max(scaleForEdges(edges, vertices).cell, (high - low_) / count);
        bands_.resize(band(high) + 1);
        for (std::size_t i = 0; i < edges.size(); ++i) {
            const double a = at(edges[i].from).y;
            const double b = at(edges[i].to).y;
            for (std::size_t k = band(std::min(a, b)); k <= band(std::max(a, b)); ++k) {
                bands_[k].push_back(static_cast<std::uint32_t>(i));
            }
        }
    }

    // Winding number at p of every ring but `skip`, counted in the rings'
    // own turning sense; the edges looked at are added to `work`.
    long windingAt(Point original, std::uint32_t skip, double turn, std::size_t& work) const {
        const Point p = upright_ ? Point{original.y, original.x} : original;
        long winding = 0;
        const auto& inBand = bands_[std::min(band(p.y), bands_.size() - 1)];
        work += inBand.size();
        for (const std::uint32_t i : inBand) {
            const Edge& e = edges_[i];
            if (e.ring == skip) {
                continue;
            }
            const Point a = at(e.from);
            const Point b = at(e.to);
            if (a.y <= p.y && p.y < b.y && orientation(a, b, p) > 0.0) {
                ++winding;
            } else if (b.y <= p.y && p.y < a.y && orientation(a, b, p) < 0.0) {
                --winding;
            }
        }
        // Swapping x and y mirrors the plane, which turns windings round.
        return (turn > 0.0) != upright_ ? winding : -winding;
    }

private:
    Point at(VertexId v) const {
        const Point p = vertices_[v];
        return upright_ ? Point{p.y, p.x} : p;
    }
    std::size_t band(double y) const {
        const double k = std::floor((y - low_) / height_);
        return k > 0.0 ? static_cast<std::size_t>(k) : 0;
    }

    const std::vector<Edge>& edges_;
    const std::vector<Point>& vertices_;
    bool upright_ = false;
    double low_ = 0.0;
    double height_ = 1.0;
    std::vector<std::vector<std::uint32_t>> bands_;
};

bool nestedLikeOverlap(const std::vector<TracedRing>& rings, const std::vector<Edge>& edges,
                       const std::vector<Point>& vertices, double turn) {
    if (rings.size() == 1) {
        return ringArea(rings.front(), vertices) * turn < 0.0;
    }
    const BandIndex index(edges, vertices);
    std::size_t work = 0;
    for (std::size_t r = 0; r < rings.size() && work < kNestingBudget; ++r) {
        const Point a = vertices[rings[r].vertices[0]];
        const Point b = vertices[rings[r].vertices[1 % rings[r].vertices.size()]];
        const Point middle{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
        const bool hole = ringArea(rings[r], vertices) * turn < 0.0;
        const long expected = hole ? 1 : 0;
        if (index.windingAt(middle, static_cast<std::uint32_t>(r), turn, work) != expected) {
            return true;
        }
    }
    return false;
}

}  // namespace

RingContacts inspectRings(const std::vector<TracedRing>& rings, const std::vector<Point>& vertices,
                          double turn) {
    const std::vector<Edge> edges = ringEdges(rings);
    if (edges.empty()) {
        return RingContacts{};
    }
    RingContacts contacts = edgeContacts(edges, vertices);
    if (!contacts.cornerOnSide && !contacts.overlap) {
        contacts.overlap = nestedLikeOverlap(rings, edges, vertices, turn);
    }
    return contacts;
}

}  // namespace vorn2shp::merge
