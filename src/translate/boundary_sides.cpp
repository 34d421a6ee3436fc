// From triangles to the sides of their union's boundary.
//
// Every triangle is turned like the seed, so two triangles that share a
// side run along it in opposite directions and the side cancels. The sides
// that stay are the boundary, already directed the way the rings run.
#include <algorithm>
#include <cmath>
#include <utility>

#include "translate/merge_steps.h"
#include "translate/outline_merge.h"
#include "translate/spatial_grid.h"

namespace vorn2shp::merge {

namespace {

std::uint64_t undirectedKey(const Side& s) {
    const VertexId low = std::min(s.from, s.to);
    const VertexId high = std::max(s.from, s.to);
    return (static_cast<std::uint64_t>(low) << 32) | high;
}

bool hasArea(VertexId a, VertexId b, VertexId c, double turn) {
    return a != b && b != c && a != c && turn != 0.0 && std::isfinite(turn);
}

// A cell about one side long (and never below the corner tolerance), so a
// side is sampled a few times and a cell holds a few vertices; and how far
// from a sample a vertex on the side can lie.
std::pair<double, double> cellAndReachForSides(const std::vector<Side>& sides,
                                               const std::vector<Point>& vertices) {
    double largest = 0.0;
    double totalLength = 0.0;
    for (const Side& s : sides) {
        const Point a = vertices[s.from];
        const Point b = vertices[s.to];
        totalLength += std::hypot(b.x - a.x, b.y - a.y);
        largest = std::max({largest, std::fabs(a.x), std::fabs(a.y)});
    }
    const double tolerance = toleranceNear(largest);
    const double meanLength = totalLength / static_cast<double>(sides.size());
    const double cell = std::isfinite(meanLength) ? std::max(tolerance, meanLength) : tolerance;
    return {cell, std::min(cell, 0.25 * cell + tolerance)};
}

SpatialGrid gridOfEnds(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                       double cell) {
    SpatialGrid grid(cell, 2 * sides.size());
    std::vector<char> inserted(vertices.size(), 0);
    for (const Side& s : sides) {
        for (const VertexId v : {s.from, s.to}) {
            if (!inserted[v]) {
                inserted[v] = 1;
                grid.insert(vertices[v], v);
            }
        }
    }
    return grid;
}

// Sides [begin, end) all join the same two vertices. Their triangles are
// one part; the directions cancel pairwise, and what is left over (at most
// one side) is boundary.
template <class Iterator>
void keepUnmatched(const std::vector<Side>& sides, Iterator begin, Iterator end, UnionFind& parts,
                   TilingFaults& faults, std::vector<Side>& boundary) {
    std::size_t forward = 0;
    std::size_t backward = 0;
    const Side* firstForward = nullptr;
    const Side* firstBackward = nullptr;
    for (Iterator i = begin; i != end; ++i) {
        const Side& s = sides[*i];
        parts.unite(sides[*begin].triangle, s.triangle);
        const bool isForward = s.from < s.to;
        (isForward ? forward : backward) += 1;
        const Side*& first = isForward ? firstForward : firstBackward;
        first = first != nullptr ? first : &s;
    }
    // Two triangles on the same side of one side overlap; the side is kept
    // once, so a repeated tuple does not double the outline.
    faults.overlap = faults.overlap || forward > 1 || backward > 1;
    if (forward > backward) {
        boundary.push_back(*firstForward);
    } else if (backward > forward) {
        boundary.push_back(*firstBackward);
    }
}

}  // namespace

double positionOnSide(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
    if (!(t > 0.0 && t < 1.0)) {
        return -1.0;
    }
    // Most points asked about lie well off the side; the ends are looked at
    // only for those that do not.
    const Point foot{a.x + dx * t, a.y + dy * t};
    return sameCorner(p, foot) && !sameCorner(p, a) && !sameCorner(p, b) ? t : -1.0;
}

UnionFind::UnionFind(std::size_t count) : parent_(count) {
    for (std::size_t i = 0; i < count; ++i) {
        parent_[i] = static_cast<std::uint32_t>(i);
    }
}

std::uint32_t UnionFind::find(std::uint32_t item) {
    while (parent_[item] != item) {
        parent_[item] = parent_[parent_[item]];
        item = parent_[item];
    }
    return item;
}

void UnionFind::unite(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t ra = find(a);
    const std::uint32_t rb = find(b);
    if (ra != rb) {
        parent_[std::max(ra, rb)] = std::min(ra, rb);
    }
}

OrientedSides orientSides(const SnappedCorners& snapped, TilingFaults& faults) {
    OrientedSides out;
    out.sides.reserve(3 * snapped.corners.size());
    for (std::size_t t = 0; t < snapped.corners.size(); ++t) {
        auto [a, b, c] = snapped.corners[t];
        const double turn =
            orientation(snapped.vertices[a], snapped.vertices[b], snapped.vertices[c]);
        if (!hasArea(a, b, c, turn)) {
            ++faults.droppedTriangles;
            continue;
        }
        if (out.seed < 0) {
            out.seed = static_cast<long>(t);
            out.turn = turn > 0.0 ? 1.0 : -1.0;
        }
        if ((turn > 0.0) != (out.turn > 0.0)) {
            std::swap(b, c);
        }
        const auto triangle = static_cast<std::uint32_t>(t);
        out.sides.push_back(Side{a, b, triangle});
        out.sides.push_back(Side{b, c, triangle});
        out.sides.push_back(Side{c, a, triangle});
    }
    return out;
}

std::vector<Side> boundarySides(const std::vector<Side>& sides, std::size_t vertexCount,
                                UnionFind& parts, TilingFaults& faults) {
    // Sides by their lower vertex (a counting sort), then within that
    // short run by their upper vertex: the sides between the same two
    // vertices come together at linear cost.
    std::vector<std::uint32_t> runStart(vertexCount + 1, 0);
    for (const Side& s : sides) {
        ++runStart[std::min(s.from, s.to) + 1];
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        runStart[v + 1] += runStart[v];
    }
    std::vector<std::uint32_t> order(sides.size());
    {
        std::vector<std::uint32_t> next(runStart.begin(), runStart.end() - 1);
        for (std::size_t i = 0; i < sides.size(); ++i) {
            order[next[std::min(sides[i].from, sides[i].to)]++] = static_cast<std::uint32_t>(i);
        }
    }
    auto upperThenTriangle = [&](std::uint32_t l, std::uint32_t r) {
        const VertexId hl = std::max(sides[l].from, sides[l].to);
        const VertexId hr = std::max(sides[r].from, sides[r].to);
        return hl != hr ? hl < hr : sides[l].triangle < sides[r].triangle;
    };
    std::vector<Side> boundary;
    boundary.reserve(sides.size());  // at most every side, and one allocation
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const auto first = order.begin() + runStart[v];
        const auto last = order.begin() + runStart[v + 1];
        std::sort(first, last, upperThenTriangle);
        for (auto begin = first; begin != last;) {
            auto end = begin;
            while (end != last && undirectedKey(sides[*end]) == undirectedKey(sides[*begin])) {
                ++end;
            }
            keepUnmatched(sides, begin, end, parts, faults, boundary);
            begin = end;
        }
    }
    return boundary;
}

bool splitSidesAtCorners(std::vector<Side>& sides, const std::vector<Point>& vertices) {
    if (sides.size() < 3) {
        return false;
    }
    // Named copies, not structured bindings: lambdas below capture them.
    const auto cellAndReach = cellAndReachForSides(sides, vertices);
    const double reach = cellAndReach.second;
    const SpatialGrid grid = gridOfEnds(sides, vertices, cellAndReach.first);
    std::vector<Side> result;
    result.reserve(sides.size());
    std::vector<std::pair<double, VertexId>> onSide;
    bool split = false;
    for (const Side& s : sides) {
        const Point a = vertices[s.from];
        const Point b = vertices[s.to];
        onSide.clear();
        grid.forEachSample(a, b, [&](Point sample) {
            grid.forEachWithin(sample, reach, [&](std::uint32_t v) {
                const double t =
                    v == s.from || v == s.to ? -1.0 : positionOnSide(vertices[v], a, b);
                if (t > 0.0) {
                    onSide.emplace_back(t, v);
                }
            });
        });
        std::sort(onSide.begin(), onSide.end());
        onSide.erase(std::unique(onSide.begin(), onSide.end()), onSide.end());
        VertexId from = s.from;
        for (const auto& [t, v] : onSide) {
            result.push_back(Side{from, v, s.triangle});
            from = v;
        }
        result.push_back(Side{from, s.to, s.triangle});
        split = split || !onSide.empty();
    }
    sides.swap(result);
    return split;
}

}  // namespace vorn2shp::merge
