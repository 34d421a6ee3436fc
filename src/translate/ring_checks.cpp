// Telling an edge-to-edge tiling from overlapping triangles by its rings.
//
// The rings of a tiling neither cross nor touch except in shared vertices,
// and they nest like a map: each hole lies in one outer ring more than in
// other holes, each outer ring in as many holes as outer rings.
#include <algorithm>
#include <cmath>

#include "translate/merge_steps.h"
#include "translate/spatial_grid.h"

namespace vorn2shp::merge {

namespace {

// Enough for any real object; beyond it the nesting test gives up quietly
// rather than cost more than the merge itself.
constexpr std::size_t kNestingBudget = 50'000'000;

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

bool within(Point a, Point b, Point p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
           std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
}

bool segmentsMeet(Point p1, Point p2, Point q1, Point q2) {
    const double d1 = sideOf(q1, q2, p1);
    const double d2 = sideOf(q1, q2, p2);
    const double d3 = sideOf(p1, p2, q1);
    const double d4 = sideOf(p1, p2, q2);
    if (d1 * d2 < 0.0 && d3 * d4 < 0.0) {
        return true;
    }
    return (d1 == 0.0 && within(q1, q2, p1)) || (d2 == 0.0 && within(q1, q2, p2)) ||
           (d3 == 0.0 && within(p1, p2, q1)) || (d4 == 0.0 && within(p1, p2, q2));
}

double cellForEdges(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    double largest = 0.0;
    double total = 0.0;
    for (const Edge& e : edges) {
        const Point a = vertices[e.from];
        const Point b = vertices[e.to];
        total += std::hypot(b.x - a.x, b.y - a.y);
        largest = std::max({largest, std::fabs(a.x), std::fabs(a.y)});
    }
    const double cell = std::max(toleranceNear(largest), total / static_cast<double>(edges.size()));
    return std::isfinite(cell) ? cell : toleranceNear(largest);
}

bool edgesCross(const std::vector<Edge>& edges, const std::vector<Point>& vertices) {
    SpatialGrid grid(cellForEdges(edges, vertices), 3 * edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        grid.forEachSample(vertices[edges[i].from], vertices[edges[i].to],
                           [&](Point p) { grid.insert(p, static_cast<std::uint32_t>(i)); });
    }
    std::vector<std::size_t> lastTestedBy(edges.size(), SIZE_MAX);
    bool crossing = false;
    for (std::size_t i = 0; i < edges.size() && !crossing; ++i) {
        const Edge& e = edges[i];
        grid.forEachSample(vertices[e.from], vertices[e.to], [&](Point p) {
            grid.forEachNear(p, [&](std::uint32_t j) {
                const Edge& f = edges[j];
                if (crossing || j <= i || lastTestedBy[j] == i || e.from == f.from ||
                    e.from == f.to || e.to == f.from || e.to == f.to) {
                    return;
                }
                lastTestedBy[j] = i;
                crossing = segmentsMeet(vertices[e.from], vertices[e.to], vertices[f.from],
                                        vertices[f.to]);
            });
        });
    }
    return crossing;
}

double ringArea(const TracedRing& ring, const std::vector<Point>& vertices) {
    std::vector<Point> points;
    points.reserve(ring.vertices.size());
    for (const VertexId v : ring.vertices) {
        points.push_back(vertices[v]);
    }
    return signedArea(points);
}

// The edges by horizontal band, so the winding number at a point needs only
// the edges of the point's band.
class BandIndex {
public:
    BandIndex(const std::vector<Edge>& edges, const std::vector<Point>& vertices)
        : edges_(edges), vertices_(vertices) {
        low_ = vertices[edges.front().from].y;
        double high = low_;
        for (const Edge& e : edges) {
            low_ = std::min(low_, vertices[e.from].y);
            high = std::max(high, vertices[e.from].y);
        }
        const double count = static_cast<double>(edges.size());
        height_ = std::max(cellForEdges(edges, vertices), (high - low_) / count);
        bands_.resize(band(high) + 1);
        for (std::size_t i = 0; i < edges.size(); ++i) {
            const double a = vertices[edges[i].from].y;
            const double b = vertices[edges[i].to].y;
            for (std::size_t k = band(std::min(a, b)); k <= band(std::max(a, b)); ++k) {
                bands_[k].push_back(static_cast<std::uint32_t>(i));
            }
        }
    }

    // Winding number at p of every ring but `skip`, counted in the rings'
    // own turning sense; the edges looked at are added to `work`.
    long windingAt(Point p, std::uint32_t skip, double turn, std::size_t& work) const {
        long winding = 0;
        const auto& inBand = bands_[std::min(band(p.y), bands_.size() - 1)];
        work += inBand.size();
        for (const std::uint32_t i : inBand) {
            const Edge& e = edges_[i];
            const Point a = vertices_[e.from];
            const Point b = vertices_[e.to];
            if (e.ring == skip) {
                continue;
            }
            if (a.y <= p.y && p.y < b.y && orientation(a, b, p) > 0.0) {
                ++winding;
            } else if (b.y <= p.y && p.y < a.y && orientation(a, b, p) < 0.0) {
                --winding;
            }
        }
        return turn > 0.0 ? winding : -winding;
    }

private:
    std::size_t band(double y) const {
        const double k = std::floor((y - low_) / height_);
        return k > 0.0 ? static_cast<std::size_t>(k) : 0;
    }

    const std::vector<Edge>& edges_;
    const std::vector<Point>& vertices_;
    double low_ = 0.0;
    double height_ = 1.0;
    std::vector<std::vector<std::uint32_t>> bands_;
};

bool nestedLikeOverlap(const std::vector<TracedRing>& rings, const std::vector<Edge>& edges,
                       const std::vector<Point>& vertices, double turn) {
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

bool ringsOverlap(const std::vector<TracedRing>& rings, const std::vector<Point>& vertices,
                  double turn) {
    const std::vector<Edge> edges = ringEdges(rings);
    if (edges.empty()) {
        return false;
    }
    if (edgesCross(edges, vertices)) {
        return true;
    }
    if (rings.size() == 1) {
        return ringArea(rings.front(), vertices) * turn < 0.0;
    }
    return nestedLikeOverlap(rings, edges, vertices, turn);
}

}  // namespace vorn2shp::merge
