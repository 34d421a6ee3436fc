// From triangles to the sides of their union's boundary.
//
// Every triangle is turned like the seed, so two triangles that share a
// side run along it in opposite directions and the side cancels. The sides
// that stay are the boundary, already directed the way the rings run.
#include <algorithm>
#include <cmath>
#include <utility>

#include "merge/merge_steps.h"
#include "merge/outline_merge.h"

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

// Sides [begin, end) all join the same two vertices: the counts of the
// two directions, and the first side of each.
struct SideRun {
    std::size_t forward = 0;
    std::size_t backward = 0;
    const Side* firstForward = nullptr;
    const Side* firstBackward = nullptr;

    // The side left over once the directions cancel pairwise, if any.
    bool leftOver(Side& side) const {
        if (forward == backward) {
            return false;
        }
        side = *(forward > backward ? firstForward : firstBackward);
        side.count = static_cast<std::uint32_t>(forward > backward ? forward - backward
                                                                   : backward - forward);
        return true;
    }
};

template <class Iterator>
SideRun runOf(const std::vector<Side>& sides, Iterator begin, Iterator end) {
    SideRun run;
    for (Iterator i = begin; i != end; ++i) {
        const Side& s = sides[*i];
        const bool isForward = s.from < s.to;
        (isForward ? run.forward : run.backward) += s.count;
        const Side*& first = isForward ? run.firstForward : run.firstBackward;
        first = first != nullptr ? first : &s;
    }
    return run;
}

// Calls visit(begin, end) for every run of sides that join the same two
// vertices: sides by their lower vertex (a counting sort), then within that
// short run by their upper vertex, so the runs come together at linear cost.
template <class Visit>
void forEachRun(const std::vector<Side>& sides, std::size_t vertexCount, Visit&& visit) {
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
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const auto first = order.begin() + runStart[v];
        const auto last = order.begin() + runStart[v + 1];
        std::sort(first, last, upperThenTriangle);
        for (auto begin = first; begin != last;) {
            auto end = begin;
            while (end != last && undirectedKey(sides[*end]) == undirectedKey(sides[*begin])) {
                ++end;
            }
            visit(begin, end);
            begin = end;
        }
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
        if (!snapped.leftOut.empty() && snapped.leftOut[t]) {
            continue;
        }
        if (!hasArea(a, b, c, turn)) {
            ++faults.droppedTriangles;
            continue;
        }
        const bool turnedOver = !snapped.turnedOver.empty() && snapped.turnedOver[t];
        const bool counterClockwise = (turn > 0.0) != turnedOver;
        if (out.seed < 0) {
            out.seed = static_cast<long>(t);
            out.turn = counterClockwise ? 1.0 : -1.0;
        }
        if (counterClockwise != (out.turn > 0.0)) {
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
    // Most sides cancel: a triangulated polygon keeps about a third of them,
    // a tiling of a square far fewer.
    std::vector<Side> boundary;
    boundary.reserve(sides.size() / 3 + 16);
    forEachRun(sides, vertexCount, [&](auto begin, auto end) {
        // The triangles of one side are one part.
        for (auto i = begin; i != end; ++i) {
            parts.unite(sides[*begin].triangle, sides[*i].triangle);
        }
        const SideRun run = runOf(sides, begin, end);
        // Two triangles on the same side of one side overlap; the side is
        // kept once, so a repeated tuple does not double the outline.
        faults.overlap = faults.overlap || run.forward > 1 || run.backward > 1;
        Side left;
        if (run.leftOver(left)) {
            boundary.push_back(left);
        }
    });
    return boundary;
}

std::vector<Side> netSides(const std::vector<Side>& sides, std::size_t vertexCount) {
    std::vector<Side> net;
    net.reserve(sides.size());
    forEachRun(sides, vertexCount, [&](auto begin, auto end) {
        Side left;
        if (runOf(sides, begin, end).leftOver(left)) {
            net.push_back(left);
        }
    });
    return net;
}

std::vector<Side> splitAtCuts(const std::vector<Side>& sides, const std::vector<Cut>& cuts) {
    std::vector<Side> result;
    result.reserve(sides.size() + 2 * cuts.size());
    auto cut = cuts.begin();
    for (std::size_t i = 0; i < sides.size(); ++i) {
        const Side& s = sides[i];
        VertexId from = s.from;
        for (; cut != cuts.end() && cut->side == i; ++cut) {
            if (cut->vertex != from && cut->vertex != s.to) {
                result.push_back(Side{from, cut->vertex, s.triangle, s.count});
                from = cut->vertex;
            }
        }
        result.push_back(Side{from, s.to, s.triangle, s.count});
    }
    return result;
}

}  // namespace vorn2shp::merge
