// The outline of one object: the boundary of the union of its triangles.
//
// Corners are joined into vertices, every triangle is turned like the seed,
// sides shared by two triangles cancel, and the sides left over are linked
// into rings. The cost grows with the number of triangles times a log, with
// no limit on the size of a group.
#include "merge/outline_merge.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>

#include "merge/merge_steps.h"

namespace vorn2shp {

namespace {

using merge::TracedRing;

// Looking at the pairs of sides that come near each other costs a few pairs
// per side on any map (every cell about one side long); triangles piled on
// each other bring far more, and then GEOS's union, which costs what the
// triangles cost, is the cheaper way.
constexpr std::size_t kPairsPerSide = 256;
constexpr std::size_t kFewestPairs = 1'000'000;

std::size_t contactBudget(const std::vector<merge::Side>& sides) {
    return kPairsPerSide * sides.size() + kFewestPairs;
}

// Tracing the union splits every side where it crosses another, so it
// costs the crossings; real maps' overlaps cross a few sides in a hundred,
// and where crossings outnumber the sides GEOS's union costs less.
std::size_t mostCrossings(const std::vector<merge::Side>& sides) {
    constexpr std::size_t kFewCrossings = 4096;
    return sides.size() + kFewCrossings;
}
using merge::VertexId;

struct RingFacts {
    std::size_t index = 0;
    VertexId firstMet = 0;        // the vertex that the triangles meet first
    std::uint32_t leavingBy = 0;  // the triangle of the side leaving it
    double area = 0.0;            // positive for outer rings, negative for holes
    std::uint32_t part = 0;
};

RingFacts factsOf(std::size_t index, const TracedRing& ring, const std::vector<Point>& vertices,
                  double turn, merge::UnionFind& parts) {
    RingFacts facts;
    facts.index = index;
    const auto first = std::min_element(ring.vertices.begin(), ring.vertices.end());
    facts.firstMet = *first;
    facts.leavingBy = ring.triangles[static_cast<std::size_t>(first - ring.vertices.begin())];
    facts.area = turn * merge::ringArea(ring, vertices);
    facts.part = parts.find(ring.triangles.front());
    return facts;
}

bool metEarlier(const RingFacts& a, const RingFacts& b) {
    return std::tie(a.firstMet, a.leavingBy, a.index) < std::tie(b.firstMet, b.leavingBy, b.index);
}

// The outer ring of the seed's part: the largest ring of that part that
// turns like the seed. Overlapping triangles can leave no such ring; then
// the part's largest ring, or else the ring met first.
std::size_t firstRing(const std::vector<RingFacts>& facts, std::uint32_t seedPart) {
    const RingFacts* best = nullptr;
    auto better = [&](const RingFacts& f) {
        if (best == nullptr) {
            return true;
        }
        const bool outer = f.area > 0.0;
        const bool bestOuter = best->area > 0.0;
        if (outer != bestOuter) {
            return outer;
        }
        return std::fabs(f.area) > std::fabs(best->area);
    };
    for (const RingFacts& f : facts) {
        if (f.part == seedPart && better(f)) {
            best = &f;
        }
    }
    if (best == nullptr) {
        best = &*std::min_element(facts.begin(), facts.end(), metEarlier);
    }
    return static_cast<std::size_t>(best - facts.data());
}

Ring closedRing(const TracedRing& ring, VertexId start, const std::vector<Point>& vertices) {
    const auto found = std::find(ring.vertices.begin(), ring.vertices.end(), start);
    const std::size_t offset =
        found == ring.vertices.end() ? 0 : static_cast<std::size_t>(found - ring.vertices.begin());
    Ring points;
    points.reserve(ring.vertices.size() + 1);
    for (std::size_t i = 0; i <= ring.vertices.size(); ++i) {
        points.push_back(vertices[ring.vertices[(offset + i) % ring.vertices.size()]]);
    }
    return points;
}

// The seed's corner 12 when the ring passes it, else 13, else 23, else the
// ring's vertex met first.
VertexId startOfFirstRing(const TracedRing& ring, const std::array<VertexId, 3>& seedCorners,
                          VertexId firstMet) {
    for (const VertexId corner : seedCorners) {
        if (std::find(ring.vertices.begin(), ring.vertices.end(), corner) != ring.vertices.end()) {
            return corner;
        }
    }
    return firstMet;
}

std::vector<Ring> orderedRings(const std::vector<TracedRing>& traced,
                               const merge::SnappedCorners& snapped, std::size_t seed, double turn,
                               merge::UnionFind& parts) {
    std::vector<RingFacts> facts;
    facts.reserve(traced.size());
    for (std::size_t i = 0; i < traced.size(); ++i) {
        facts.push_back(factsOf(i, traced[i], snapped.vertices, turn, parts));
    }
    const std::size_t first = firstRing(facts, parts.find(static_cast<std::uint32_t>(seed)));
    const RingFacts& head = facts[first];
    std::vector<Ring> rings;
    rings.reserve(traced.size());
    rings.push_back(
        closedRing(traced[head.index],
                   startOfFirstRing(traced[head.index], snapped.corners[seed], head.firstMet),
                   snapped.vertices));
    facts.erase(facts.begin() + static_cast<std::ptrdiff_t>(first));
    std::sort(facts.begin(), facts.end(), metEarlier);
    for (const RingFacts& f : facts) {
        rings.push_back(closedRing(traced[f.index], f.firstMet, snapped.vertices));
    }
    return rings;
}

// One triangle needs no joining: its ring is corner 12, 13, 23, 12, unless
// it is too small to have an area once its corners are compared.
MergeResult singleTriangle(const Triangle& t) {
    MergeResult result;
    const double turn = orientation(t.c12, t.c13, t.c23);
    if (sameCorner(t.c12, t.c13) || sameCorner(t.c13, t.c23) || sameCorner(t.c12, t.c23) ||
        turn == 0.0 || !std::isfinite(turn)) {
        result.droppedTriangles = 1;
        return result;
    }
    result.rings.push_back(Ring{t.c12, t.c13, t.c23, t.c12});
    return result;
}

// Joining the copies of corners that the written decimals put apart is
// settled in a round or two; a third finds what the first joins brought
// together.
constexpr int kJoiningRounds = 3;

bool hasWrittenBounds(const std::vector<CornerBounds>& bounds) {
    constexpr std::uint8_t kExact = 255;
    for (const CornerBounds& b : bounds) {
        if (b.written[0] != kExact || b.written[1] != kExact || b.written[2] != kExact) {
            return true;
        }
    }
    return false;
}

std::vector<Triangle> joinedTriangles(const merge::SnappedCorners& snapped) {
    std::vector<Triangle> joined;
    joined.reserve(snapped.corners.size());
    for (std::size_t t = 0; t < snapped.corners.size(); ++t) {
        if (snapped.leftOut.empty() || !snapped.leftOut[t]) {
            const auto& [a, b, c] = snapped.corners[t];
            joined.push_back(
                Triangle{snapped.vertices[a], snapped.vertices[b], snapped.vertices[c]});
        }
    }
    return joined;
}

// How far apart the corners joined into one vertex lay, at most.
double largestDisagreement(const std::vector<Triangle>& triangles,
                           const merge::SnappedCorners& snapped) {
    double largest = 0.0;
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const Triangle& tri = triangles[t];
        const Point places[] = {tri.c12, tri.c13, tri.c23};
        for (std::size_t k = 0; k < 3; ++k) {
            const Point v = snapped.vertices[snapped.corners[t][k]];
            largest =
                std::max({largest, std::fabs(v.x - places[k].x), std::fabs(v.y - places[k].y)});
        }
    }
    return largest;
}

// The sides of the group's boundary, with what finding them showed.
struct Boundary {
    merge::TilingFaults faults;
    merge::OrientedSides oriented;
    merge::UnionFind parts;
    std::vector<merge::Side> sides;
};

Boundary boundaryOf(const merge::SnappedCorners& snapped, std::size_t triangles) {
    Boundary boundary{{}, {}, merge::UnionFind(triangles), {}};
    boundary.oriented = merge::orientSides(snapped, boundary.faults);
    if (boundary.oriented.seed >= 0) {
        boundary.sides = merge::boundarySides(boundary.oriented.sides, snapped.vertices.size(),
                                              boundary.parts, boundary.faults);
    }
    return boundary;
}

// Where lines are written to a few decimals: joins the copies of corners
// that the sides show, round after round, turns over the slivers that the
// rounding turned, then leaves out the flat slivers of the boundary, each
// time finding the boundary again. True when corners moved or triangles
// were left out.
bool joinWrittenCopies(merge::SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                       const std::vector<CornerBounds>& bounds, const std::vector<LineKeys>& lines,
                       Boundary& boundary) {
    merge::WrittenCopies copies(triangles, bounds, lines);
    bool changed = false;
    // Slivers are mended from the second round on, once the first has
    // joined the copies that the sides show plainly, so that their loosely
    // known corners take the places left to them.
    for (int round = 0; round < kJoiningRounds && boundary.oriented.seed >= 0; ++round) {
        if (!copies.joinRound(snapped, boundary.sides, round > 0)) {
            break;
        }
        changed = true;
        boundary = boundaryOf(snapped, triangles.size());
    }
    // Sides covered twice from one side may be those of a sliver that the
    // rounding turned over; it turns no corner, so changes nothing to tell.
    if (boundary.oriented.seed >= 0 && boundary.faults.overlap &&
        copies.turnOverFlat(snapped, boundary.oriented.sides)) {
        boundary = boundaryOf(snapped, triangles.size());
    }
    if (boundary.oriented.seed >= 0 && copies.leaveOutFlatEars(snapped, boundary.sides)) {
        changed = true;
        boundary = boundaryOf(snapped, triangles.size());
    }
    return changed;
}

// The rings of the boundary, and whether the triangles meet edge to edge;
// where they do not, the union of them as their sides trace it.
void traceOutline(merge::SnappedCorners& snapped, Boundary& boundary, MergeResult& result) {
    merge::TilingFaults& faults = boundary.faults;
    const merge::OrientedSides& oriented = boundary.oriented;
    std::vector<merge::Side>& sides = boundary.sides;
    // Every side of every triangle: no longer needed, and the largest
    // object's memory is the program's.
    std::vector<merge::Side>().swap(boundary.oriented.sides);
    std::vector<TracedRing> traced =
        merge::traceRings(sides, snapped.vertices, oriented.turn, faults);
    merge::SideContacts found;
    // Sides crowded past any map's are triangles piled on each other: their
    // union is GEOS's to take, at its cost, not the traced union's.
    const bool crowded = !merge::findContacts(sides, snapped.vertices, contactBudget(sides), found,
                                              mostCrossings(sides));
    const merge::RingContacts contacts =
        crowded ? merge::RingContacts{false, true}
                : merge::inspectRings(traced, found, snapped.vertices, oriented.turn);
    // A corner on another triangle's side is rare; only then are the sides
    // split there and the rings traced again. The triangles do not meet
    // edge to edge then, whatever the new rings show: their contacts are
    // only wanted for the union.
    if (!crowded && contacts.cornerOnSide) {
        faults.cornerOnSide = true;
        const std::vector<char> touched =
            merge::contactVertices(found, sides, snapped.vertices.size());
        sides = merge::boundarySides(merge::splitAtCuts(sides, found.corners),
                                     snapped.vertices.size(), boundary.parts, faults);
        faults.openChain = false;
        traced = merge::traceRings(sides, snapped.vertices, oriented.turn, faults);
        merge::findContactsAfterSplit(sides, snapped.vertices, touched, contactBudget(sides),
                                      found);
    }
    if (traced.empty()) {
        return;
    }
    result.edgeToEdge = !(faults.overlap || faults.cornerOnSide || faults.openChain ||
                          contacts.cornerOnSide || contacts.overlap);
    result.rings = orderedRings(traced, snapped, static_cast<std::size_t>(oriented.seed),
                                oriented.turn, boundary.parts);
    if (!result.edgeToEdge && !crowded) {
        traced.clear();
        result.unionPolygons = merge::unionOfSides(std::move(sides), std::move(snapped.vertices),
                                                   std::move(found), oriented.turn);
    }
}

}  // namespace

MergeResult mergeGroup(const std::vector<Triangle>& triangles,
                       const std::vector<CornerBounds>& bounds,
                       const std::vector<LineKeys>& lines) {
    if (triangles.empty()) {
        return MergeResult{};
    }
    if (triangles.size() == 1) {
        return singleTriangle(triangles.front());
    }
    MergeResult result;
    merge::SnappedCorners snapped = merge::snapCorners(triangles, bounds);
    Boundary boundary = boundaryOf(snapped, triangles.size());
    if (!lines.empty() && hasWrittenBounds(bounds)) {
        result.cornersMoved = joinWrittenCopies(snapped, triangles, bounds, lines, boundary);
    }
    result.droppedTriangles = boundary.faults.droppedTriangles;
    if (boundary.oriented.seed < 0) {
        return result;
    }
    result.largestDisagreement = largestDisagreement(triangles, snapped);
    if (result.cornersMoved) {
        result.joinedTriangles = joinedTriangles(snapped);
    }
    traceOutline(snapped, boundary, result);
    return result;
}

}  // namespace vorn2shp
