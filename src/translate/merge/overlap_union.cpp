// The union of triangles that overlap, from the sides that do not cancel.
//
// Each side left over carries how many more triangles lie on its inner side
// than on its outer one, so the number of triangles over any point is the
// winding number of these sides around it. Once the sides are split where
// they cross, every piece has one count on each side; the pieces with
// covered ground on the inner side and none on the outer one are the
// boundary of the union. The work is that of the boundary, not of every
// triangle.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "merge/merge_steps.h"
#include "merge/outline_merge.h"
#include "merge/winding_bands.h"

namespace vorn2shp::merge {

namespace {

// Splitting at crossings can leave new crossings among the pieces only
// where crossings were snapped onto a nearby vertex; a few rounds settle
// any real data.
constexpr int kSplitRounds = 4;

// What looking at pairs of sides and at rays may cost, per side: far above
// any real map, low enough that a pathological set of sides is left to
// GEOS instead of taking quadratic time here.
constexpr std::size_t kWorkPerSide = 1024;
constexpr std::size_t kFixedWork = 16'000'000;

std::size_t workBudget(std::size_t sides) { return kWorkPerSide * sides + kFixedWork; }

// About one side long, and never below twice the corner tolerance.
double cellFor(const std::vector<Segment>& segments, double tolerance) {
    const double cell = std::max(2.0 * tolerance, meanLength(segments));
    return std::isfinite(cell) ? cell : 2.0 * tolerance;
}

// Where the side from a to b crosses the line through c and d, computed in
// extended precision: a crossing at a shallow angle moves far along the
// sides for a small error.
Point crossingPoint(Point a, Point b, Point c, Point d) {
    using Wide = long double;
    const auto turnOf = [](Wide px, Wide py, Wide qx, Wide qy, Wide rx, Wide ry) {
        return (qx - px) * (ry - py) - (qy - py) * (rx - px);
    };
    const Wide fromA = turnOf(c.x, c.y, d.x, d.y, a.x, a.y);
    const Wide fromB = turnOf(c.x, c.y, d.x, d.y, b.x, b.y);
    const Wide t = fromA / (fromA - fromB);
    return Point{static_cast<double>(a.x + (Wide{b.x} - a.x) * t),
                 static_cast<double>(a.y + (Wide{b.y} - a.y) * t)};
}

// How far along the side from a to b the point p lies, as positionOnSide
// measures it.
double alongSide(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    return ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
}

// The cuts where sides cross: each crossing becomes a vertex, or joins one
// within the corner tolerance that already lies on either side (an end, a
// corner on it, or an earlier crossing), as corners are joined.
void addCrossingCuts(const std::vector<Side>& sides, std::vector<Point>& vertices,
                     const SideContacts& contacts, std::vector<Cut>& cuts) {
    std::unordered_map<std::uint32_t, std::vector<VertexId>> onSide;
    for (const Cut& c : contacts.corners) {
        onSide[c.side].push_back(c.vertex);
    }
    for (const auto& [i, j] : contacts.crossings) {
        const Side& s = sides[i];
        const Side& t = sides[j];
        const Point x =
            crossingPoint(vertices[s.from], vertices[s.to], vertices[t.from], vertices[t.to]);
        VertexId joined = UINT32_MAX;
        const auto consider = [&](VertexId v) {
            if (v < joined && sameCorner(vertices[v], x)) {
                joined = v;
            }
        };
        for (const VertexId v : {s.from, s.to, t.from, t.to}) {
            consider(v);
        }
        for (const std::uint32_t side : {i, j}) {
            for (const VertexId v : onSide[side]) {
                consider(v);
            }
        }
        if (joined == UINT32_MAX) {
            joined = static_cast<VertexId>(vertices.size());
            vertices.push_back(x);
        }
        for (const std::uint32_t side : {i, j}) {
            const Side& cut = sides[side];
            if (joined != cut.from && joined != cut.to) {
                cuts.push_back(
                    Cut{side, joined,
                        alongSide(vertices[joined], vertices[cut.from], vertices[cut.to])});
                onSide[side].push_back(joined);
            }
        }
    }
    std::sort(cuts.begin(), cuts.end(), [](const Cut& l, const Cut& r) {
        return std::tie(l.side, l.along, l.vertex) < std::tie(r.side, r.along, r.vertex);
    });
}

// Splits the sides where a vertex lies on them and where they cross, until
// no two cross; false when that does not settle or costs too much. A split
// can bring a side within the tolerance of another vertex; such a vertex
// near a side is no harm to the winding numbers, a crossing would be.
bool splitUntilNoneCross(std::vector<Side>& sides, std::vector<Point>& vertices,
                         SideContacts& contacts) {
    for (int round = 0; !contacts.crossings.empty() || (round == 0 && !contacts.corners.empty());
         ++round) {
        if (round == kSplitRounds) {
            return false;
        }
        std::vector<Cut> cuts = contacts.corners;
        addCrossingCuts(sides, vertices, contacts, cuts);
        std::vector<char> touched(vertices.size(), 0);
        for (const Cut& cut : cuts) {
            touched[cut.vertex] = 1;
        }
        sides = netSides(splitAtCuts(sides, cuts), vertices.size());
        if (sides.empty() ||
            !findContactsAfterSplit(sides, vertices, touched, workBudget(sides.size()), contacts)) {
            return false;
        }
    }
    return true;
}

std::vector<Segment> segmentsOf(const std::vector<Side>& sides,
                                const std::vector<Point>& vertices) {
    std::vector<Segment> segments;
    segments.reserve(sides.size());
    for (const Side& s : sides) {
        segments.push_back(Segment{vertices[s.from], vertices[s.to]});
    }
    return segments;
}

// Runs of sides joined end to end through vertices that no other side
// touches. Along such a run the ground on either side is one piece (the
// sides are split wherever another side meets them), so one count serves
// the whole run, and only the first side of each run needs a ray.
class Runs {
public:
    Runs(const std::vector<Side>& sides, std::size_t vertexCount)
        : runs_(sides.size()), outer_(sides.size(), kUnknown) {
        constexpr std::uint32_t kNoSide = UINT32_MAX;
        std::vector<std::uint32_t> firstSide(vertexCount, kNoSide);
        std::vector<std::uint8_t> degree(vertexCount, 0);
        for (std::size_t i = 0; i < sides.size(); ++i) {
            for (const VertexId v : {sides[i].from, sides[i].to}) {
                degree[v] = static_cast<std::uint8_t>(std::min(degree[v] + 1, 3));
                firstSide[v] =
                    firstSide[v] == kNoSide ? static_cast<std::uint32_t>(i) : firstSide[v];
            }
        }
        for (std::size_t i = 0; i < sides.size(); ++i) {
            for (const VertexId v : {sides[i].from, sides[i].to}) {
                if (degree[v] == 2) {
                    runs_.unite(firstSide[v], static_cast<std::uint32_t>(i));
                }
            }
        }
    }

    // How many runs there are: one ray each.
    std::size_t count() {
        std::size_t runs = 0;
        for (std::size_t i = 0; i < outer_.size(); ++i) {
            runs += runs_.find(static_cast<std::uint32_t>(i)) == i ? 1 : 0;
        }
        return runs;
    }

    // The count on the outer side of side `i`, once known.
    bool knownOuter(std::size_t i, long& outer) {
        outer = outer_[runs_.find(static_cast<std::uint32_t>(i))];
        return outer != kUnknown;
    }

    void noteOuter(std::size_t i, long outer) {
        outer_[runs_.find(static_cast<std::uint32_t>(i))] = outer;
    }

private:
    static constexpr long kUnknown = LONG_MIN;
    UnionFind runs_;
    std::vector<long> outer_;
};

// The count of triangles on the outer side of a side: the winding number
// of the weighted sides around its middle. That is the count on one known
// side of it, and the other side's differs by the side's own count. Which
// side it is tells the middle's side of the side's line; a middle rounded
// onto that line counts for the side that the ray leaves alone.
long outerCount(const std::vector<Side>& sides, std::size_t i, const std::vector<Point>& vertices,
                double turn, const WindingBands& bands, std::size_t& work) {
    const Side& s = sides[i];
    const Point a = vertices[s.from];
    const Point b = vertices[s.to];
    const Point middle{0.5 * (a.x + b.x), 0.5 * (a.y + b.y)};
    long winding = 0;
    work += bands.forEachCrossing(middle, [&](std::uint32_t j, int direction) {
        winding += direction * long{sides[j].count};
    });
    const double side = orientation(a, b, middle);
    const bool countedLeft = side != 0.0 ? side > 0.0 : bands.countsLeftOf(a, b);
    const long counted = turn > 0.0 ? winding : -winding;
    const bool innerIsLeft = turn > 0.0;
    return countedLeft == innerIsLeft ? counted - long{s.count} : counted;
}

// The sides with covered ground on their inner side and none on their
// outer one: the boundary of the union.
bool coveredBoundary(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                     double turn, std::vector<Side>& boundary) {
    const std::vector<Segment> segments = segmentsOf(sides, vertices);
    const double tolerance = toleranceForSides(sides, vertices);
    const std::size_t budget = workBudget(sides.size());
    Runs runs(sides, vertices.size());
    const WindingBands bands(segments, cellFor(segments, tolerance), budget, runs.count());
    if (!bands.complete()) {
        return false;
    }
    std::size_t work = 0;
    for (std::size_t i = 0; i < sides.size() && work <= budget; ++i) {
        const Side& s = sides[i];
        long outer = 0;
        if (!runs.knownOuter(i, outer)) {
            outer = outerCount(sides, i, vertices, turn, bands, work);
            runs.noteOuter(i, outer);
        }
        if (outer < 1 && outer + long{s.count} >= 1) {
            boundary.push_back(Side{s.from, s.to, s.triangle, 1});
        }
    }
    return work <= budget;
}

Ring closedRing(const TracedRing& ring, const std::vector<Point>& vertices) {
    Ring points;
    points.reserve(ring.vertices.size() + 1);
    for (const VertexId v : ring.vertices) {
        points.push_back(vertices[v]);
    }
    points.push_back(points.front());
    return points;
}

// Outer rings (turning like the triangles) with the holes each holds: a
// hole belongs to the smallest outer ring around it.
bool grouped(const std::vector<TracedRing>& traced, const std::vector<Point>& vertices, double turn,
             std::vector<PolygonRings>& polygons) {
    std::vector<Ring> holes;
    std::vector<double> shellAreas;
    for (const TracedRing& ring : traced) {
        Ring points = closedRing(ring, vertices);
        const double area = signedArea(points) * turn;
        if (area > 0.0) {
            polygons.push_back(PolygonRings{std::move(points), {}});
            shellAreas.push_back(area);
        } else {
            holes.push_back(std::move(points));
        }
    }
    if (holes.empty()) {
        return !polygons.empty();
    }
    std::size_t shellSides = 0;
    for (const PolygonRings& polygon : polygons) {
        shellSides += polygon.shell.size() - 1;
    }
    std::vector<Segment> segments;
    std::vector<std::uint32_t> shellOf;
    segments.reserve(shellSides);
    shellOf.reserve(shellSides);
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        const Ring& shell = polygons[p].shell;
        for (std::size_t i = 0; i + 1 < shell.size(); ++i) {
            segments.push_back(Segment{shell[i], shell[i + 1]});
            shellOf.push_back(static_cast<std::uint32_t>(p));
        }
    }
    const WindingBands bands(segments, meanLength(segments), workBudget(segments.size()),
                             holes.size());
    if (!bands.complete()) {
        return false;
    }
    std::vector<long> winding(polygons.size(), 0);
    std::vector<std::uint32_t> met;
    for (Ring& hole : holes) {
        // Holes touch their outer ring at most in a vertex: the middle of a
        // side of the hole lies off every outer ring.
        const Point middle{0.5 * (hole[0].x + hole[1].x), 0.5 * (hole[0].y + hole[1].y)};
        bands.forEachCrossing(middle, [&](std::uint32_t i, int direction) {
            if (winding[shellOf[i]] == 0) {
                met.push_back(shellOf[i]);
            }
            winding[shellOf[i]] += direction;
        });
        std::size_t owner = polygons.size();
        for (const std::uint32_t p : met) {
            if (winding[p] != 0 &&
                (owner == polygons.size() || shellAreas[p] < shellAreas[owner])) {
                owner = p;
            }
            winding[p] = 0;
        }
        met.clear();
        if (owner == polygons.size()) {
            return false;
        }
        polygons[owner].holes.push_back(std::move(hole));
    }
    return true;
}

}  // namespace

std::vector<PolygonRings> unionOfSides(std::vector<Side> sides, std::vector<Point> vertices,
                                       SideContacts contacts, double turn) {
    std::vector<Side> boundary;
    if (!splitUntilNoneCross(sides, vertices, contacts) ||
        !coveredBoundary(sides, vertices, turn, boundary)) {
        return {};
    }
    TilingFaults faults;
    const std::vector<TracedRing> traced = traceRings(boundary, vertices, turn, faults);
    std::vector<PolygonRings> polygons;
    if (faults.openChain || !grouped(traced, vertices, turn, polygons)) {
        return {};
    }
    return polygons;
}

}  // namespace vorn2shp::merge
