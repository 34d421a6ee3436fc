// Joining the copies of one corner that lines written to a few decimals put
// apart.
//
// A producer that prints each line with a fixed number of decimals moves
// every line a little, so the triangles on either side of a shared side
// compute its two ends from different lines, and those copies can lie
// further apart than any fixed tolerance while still within what the
// decimals allow. They show as a side of the boundary that another side
// runs back along: the two sides on one written line, their ends pairwise
// within the sum of their bounds. Such pairs are joined. Where the data
// meets exactly, no bound is needed: where copies from different lines
// agree to the computed slack, the lines really meet, and two such
// vertices are never joined by a bound.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>

#include "merge/cell_lists.h"
#include "merge/merge_steps.h"
#include "merge/outline_merge.h"

namespace vorn2shp::merge {

namespace {

constexpr VertexId kNoVertex = UINT32_MAX;
// A few units in the last place of a double, relative.
constexpr double kLastPlaces = 4 * 0x1p-52;

// What the boundary's vertices are known to, from the corners they hold.
struct VertexFacts {
    std::vector<double> bound;  // how far the true corner may lie, either axis
    std::vector<char> exact;    // copies from different lines agree to the computed slack
};

double largerAxis(Point a, Point b) { return std::max(std::fabs(a.x - b.x), std::fabs(a.y - b.y)); }

const Point& cornerPlace(const Triangle& t, std::size_t k) {
    return k == 0 ? t.c12 : k == 1 ? t.c13 : t.c23;
}

// The two lines that meet in corner k (12, 13, 23), in either order.
std::uint64_t linePairOf(const LineKeys& lines, std::size_t k) {
    const std::uint32_t first = lines[k == 2 ? 1 : 0];
    const std::uint32_t second = lines[k == 0 ? 1 : 2];
    return (std::uint64_t{std::min(first, second)} << 32) | std::max(first, second);
}

// How closely each corner of an object is known, from its bounds and the
// size of its triangle (found once per object).
class CornerPrecision {
public:
    CornerPrecision(const std::vector<CornerBounds>& bounds, const std::vector<double>& sizes)
        : bounds_(bounds), sizes_(sizes) {}

    // What the written numbers and the computation allow, together.
    double known(std::size_t t, std::size_t k) const {
        return (boundFraction(bounds_[t].written[k]) + boundFraction(bounds_[t].computed[k])) *
               sizes_[t];
    }
    // What the computation alone allows.
    double slack(std::size_t t, std::size_t k) const {
        return boundFraction(bounds_[t].computed[k]) * sizes_[t];
    }

private:
    const std::vector<CornerBounds>& bounds_;
    const std::vector<double>& sizes_;
};

// Where each vertex's copies lie and how closely each is known; a vertex
// whose copies do not all agree to their computed slack moves to its copy
// known most closely (the lowest place among equals), which does not depend
// on the order of the tuples as the first copy met does. True when a vertex
// moved.
bool placeAtClosestCopies(SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                          const CornerPrecision& precision, const VertexFacts& facts) {
    const std::size_t count = snapped.vertices.size();
    std::vector<double> best(count, HUGE_VAL);
    std::vector<Point> place(snapped.vertices);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        for (std::size_t k = 0; k < 3; ++k) {
            const VertexId v = snapped.corners[t][k];
            const Point& at = cornerPlace(triangles[t], k);
            const double known = precision.known(t, k);
            if (std::tie(known, at.x, at.y) < std::tie(best[v], place[v].x, place[v].y)) {
                best[v] = known;
                place[v] = at;
            }
        }
    }
    bool moved = false;
    for (VertexId v = 0; v < count; ++v) {
        if (!facts.exact[v] && best[v] < HUGE_VAL && place[v] != snapped.vertices[v]) {
            snapped.vertices[v] = place[v];
            moved = true;
        }
    }
    return moved;
}

// Which vertices are where lines meet exactly: a copy from another pair of
// lines agrees with the vertex's first copy to their computed slack. Two
// copies from the same two lines say nothing of it (a line written twice,
// as the triangles on either side of it write it). The bounds are left to
// boundVertices.
void findExactVertices(const SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                       const CornerPrecision& precision, const std::vector<LineKeys>& lines,
                       VertexFacts& facts) {
    const std::size_t count = snapped.vertices.size();
    facts.bound.assign(count, HUGE_VAL);
    facts.exact.assign(count, 0);
    // The first copy of each vertex, to compare the others with.
    std::vector<std::uint32_t> firstCorner(count, UINT32_MAX);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        for (std::size_t k = 0; k < 3; ++k) {
            const VertexId v = snapped.corners[t][k];
            if (firstCorner[v] == UINT32_MAX) {
                firstCorner[v] = static_cast<std::uint32_t>(3 * t + k);
                continue;
            }
            const std::size_t ft = firstCorner[v] / 3;
            const std::size_t fk = firstCorner[v] % 3;
            if (facts.exact[v] || linePairOf(lines[t], k) == linePairOf(lines[ft], fk)) {
                continue;
            }
            const Point& place = cornerPlace(triangles[t], k);
            const Point& first = cornerPlace(triangles[ft], fk);
            facts.exact[v] = largerAxis(place, first) <=
                             precision.slack(t, k) + precision.slack(ft, fk) +
                                 kLastPlaces * std::max(std::fabs(place.x), std::fabs(place.y));
        }
    }
}

// How far each vertex's true corner may lie from its place: the closest
// that any copy's bound and its distance from the place allow.
void boundVertices(const SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                   const CornerPrecision& precision, VertexFacts& facts) {
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        for (std::size_t k = 0; k < 3; ++k) {
            const VertexId v = snapped.corners[t][k];
            const double known = precision.known(t, k) +
                                 largerAxis(cornerPlace(triangles[t], k), snapped.vertices[v]);
            facts.bound[v] = std::min(facts.bound[v], known);
        }
    }
}

// A pair of vertices that a side and the side running back along it say
// are one corner, and how far apart they lie.
struct CopyPair {
    double apart;
    VertexId a;
    VertexId b;
    bool loose;  // paired through a flat triangle, whose sides may run either way
};

// Whether u and v may be one corner: the same vertex, or two whose places
// the bounds of the written numbers allow to be one, unless both are where
// lines meet exactly. One of them may be: a round place that some of the
// rounded lines still meet exactly takes its other copies.
bool near(VertexId u, VertexId v, const SnappedCorners& snapped, const VertexFacts& facts) {
    if (u == v) {
        return true;
    }
    if (facts.exact[u] && facts.exact[v]) {
        return false;
    }
    const Point a = snapped.vertices[u];
    const Point b = snapped.vertices[v];
    const double room = facts.bound[u] + facts.bound[v];
    return std::fabs(a.x - b.x) <= toleranceNear(std::max(std::fabs(a.x), std::fabs(b.x))) + room &&
           std::fabs(a.y - b.y) <= toleranceNear(std::max(std::fabs(a.y), std::fabs(b.y))) + room;
}

// The key of the line that a side of the boundary lies on: the line its
// triangle shares between the corners at its two ends.
std::uint32_t lineOfSide(const Side& s, const SnappedCorners& snapped,
                         const std::vector<LineKeys>& lines) {
    const auto& corners = snapped.corners[s.triangle];
    const auto cornerAt = [&](VertexId v) {
        return static_cast<std::size_t>(std::find(corners.begin(), corners.end(), v) -
                                        corners.begin());
    };
    // Corners 12 and 13 share line 1, 12 and 23 line 2, 13 and 23 line 3.
    return lines[s.triangle][cornerAt(s.from) + cornerAt(s.to) - 1];
}

// Finds the sides of one written line that run back along each other: the
// two copies of a side that triangles on either side of it share.
class BackAlong {
public:
    BackAlong(const std::vector<Side>& sides, const SnappedCorners& snapped,
              const VertexFacts& facts, const std::vector<char>* flat, std::vector<CopyPair>& pairs)
        : sides_(sides), snapped_(snapped), facts_(facts), flat_(flat), pairs_(pairs) {}

    // `run`: the sides that lie on one line.
    void look(std::vector<std::uint32_t>& run) {
        if (run.size() <= kFewSides) {
            for (std::size_t i = 0; i < run.size(); ++i) {
                for (std::size_t j = i + 1; j < run.size(); ++j) {
                    tryPair(sides_[run[i]], sides_[run[j]]);
                }
            }
            return;
        }
        sweepAlong(run);
    }

private:
    // Up to this many sides of one line, every pair is looked at.
    static constexpr std::size_t kFewSides = 32;

    void tryPair(const Side& s, const Side& t) {
        if (s.triangle == t.triangle || (s.to == t.from && s.from == t.to)) {
            return;
        }
        if (oppositeWays(s, t) && near(s.to, t.from, snapped_, facts_) &&
            near(s.from, t.to, snapped_, facts_)) {
            note(s.to, t.from);
            note(s.from, t.to);
            return;
        }
        if (!looselyFlat(s.triangle) && !looselyFlat(t.triangle)) {
            return;
        }
        // The corners of a flat triangle may have come out in the other
        // order along the line, turning it over, so its side may run either
        // way along the one it shares: its ends pair as their bounds fit
        // them best.
        const double back = worstFit(s.to, t.from, s.from, t.to);
        const double along = worstFit(s.from, t.from, s.to, t.to);
        if (back <= along && back <= 1.0) {
            note(s.to, t.from, true);
            note(s.from, t.to, true);
        } else if (along < back && along <= 1.0) {
            note(s.from, t.from, true);
            note(s.to, t.to, true);
        }
    }

    // Flat within the bounds of its corners, none of which is where lines
    // meet exactly: then the bounds are not what places the corners.
    bool looselyFlat(std::uint32_t t) const {
        const auto& corners = snapped_.corners[t];
        return flat_ != nullptr && (*flat_)[t] && !facts_.exact[corners[0]] &&
               !facts_.exact[corners[1]] && !facts_.exact[corners[2]];
    }

    // How far apart u and v lie, and w and x, as a fraction of what their
    // bounds allow: the larger of the two, above 1 when either is too far.
    double worstFit(VertexId u, VertexId v, VertexId w, VertexId x) const {
        return std::max(fit(u, v), fit(w, x));
    }

    double fit(VertexId u, VertexId v) const {
        if (u == v) {
            return 0.0;
        }
        if (!near(u, v, snapped_, facts_)) {
            return HUGE_VAL;
        }
        const Point a = snapped_.vertices[u];
        const Point b = snapped_.vertices[v];
        const double room = facts_.bound[u] + facts_.bound[v] +
                            toleranceNear(std::max(
                                {std::fabs(a.x), std::fabs(a.y), std::fabs(b.x), std::fabs(b.y)}));
        return room > 0.0 ? largerAxis(a, b) / room : 0.0;
    }

    bool oppositeWays(const Side& s, const Side& t) const {
        const Point a = snapped_.vertices[s.from];
        const Point b = snapped_.vertices[s.to];
        const Point c = snapped_.vertices[t.from];
        const Point d = snapped_.vertices[t.to];
        return (b.x - a.x) * (d.x - c.x) + (b.y - a.y) * (d.y - c.y) < 0.0;
    }

    void note(VertexId u, VertexId v, bool loose = false) {
        if (u != v) {
            pairs_.push_back(CopyPair{largerAxis(snapped_.vertices[u], snapped_.vertices[v]),
                                      std::min(u, v), std::max(u, v), loose});
        }
    }

    // Many sides of one line (a long straight border): each is looked at
    // with those that overlap it along the line, its ends' bounds included.
    void sweepAlong(std::vector<std::uint32_t>& run) {
        const Side& first = sides_[run.front()];
        const Point a = snapped_.vertices[first.from];
        const Point b = snapped_.vertices[first.to];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        if (!(length > 0.0) || !std::isfinite(length)) {
            return;
        }
        const Point along{(b.x - a.x) / length, (b.y - a.y) / length};
        struct Span {
            double low;
            double high;
            std::uint32_t side;
        };
        std::vector<Span> spans;
        spans.reserve(run.size());
        for (const std::uint32_t i : run) {
            const Side& s = sides_[i];
            const Point p = snapped_.vertices[s.from];
            const Point q = snapped_.vertices[s.to];
            const double u = p.x * along.x + p.y * along.y;
            const double v = q.x * along.x + q.y * along.y;
            const double slack = 2.0 * std::max(facts_.bound[s.from], facts_.bound[s.to]) +
                                 toleranceNear(std::max({std::fabs(p.x), std::fabs(p.y),
                                                         std::fabs(q.x), std::fabs(q.y)}));
            spans.push_back(Span{std::min(u, v) - slack, std::max(u, v) + slack, i});
        }
        std::sort(spans.begin(), spans.end(),
                  [](const Span& l, const Span& r) { return l.low < r.low; });
        for (std::size_t i = 0; i < spans.size(); ++i) {
            for (std::size_t j = i + 1; j < spans.size() && spans[j].low <= spans[i].high; ++j) {
                tryPair(sides_[spans[i].side], sides_[spans[j].side]);
            }
        }
    }

    const std::vector<Side>& sides_;
    const SnappedCorners& snapped_;
    const VertexFacts& facts_;
    const std::vector<char>* flat_;  // none when slivers are not mended
    std::vector<CopyPair>& pairs_;
};

std::vector<CopyPair> copyPairs(const std::vector<Side>& sides, const SnappedCorners& snapped,
                                const std::vector<LineKeys>& lines, const VertexFacts& facts,
                                const std::vector<char>* flat) {
    // Line key above, side below: sorted by line, each line's sides in order.
    std::vector<std::uint64_t> byLine;
    byLine.reserve(sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        byLine.push_back(std::uint64_t{lineOfSide(sides[i], snapped, lines)} << 32 | i);
    }
    sortByUpperHalf(byLine);
    std::vector<CopyPair> pairs;
    BackAlong finder(sides, snapped, facts, flat, pairs);
    std::vector<std::uint32_t> run;
    const auto lineOf = [&byLine](std::size_t i) { return byLine[i] >> 32; };
    for (std::size_t begin = 0; begin < byLine.size();) {
        std::size_t end = begin + 1;
        while (end < byLine.size() && lineOf(end) == lineOf(begin)) {
            ++end;
        }
        if (end - begin > 1) {
            run.clear();
            for (std::size_t i = begin; i < end; ++i) {
                run.push_back(static_cast<std::uint32_t>(byLine[i]));
            }
            finder.look(run);
        }
        begin = end;
    }
    std::sort(pairs.begin(), pairs.end(), [](const CopyPair& l, const CopyPair& r) {
        return std::tie(l.loose, l.apart, l.a, l.b) < std::tie(r.loose, r.apart, r.a, r.b);
    });
    pairs.erase(
        std::unique(pairs.begin(), pairs.end(),
                    [](const CopyPair& l, const CopyPair& r) { return l.a == r.a && l.b == r.b; }),
        pairs.end());
    return pairs;
}

// Vertices joined into corners, never two corners of one triangle: that
// would take its area, and with it the outline's shape there. A pair found
// through a flat triangle joins only a group holding a corner of a triangle
// that is not flat, and only where the bounds let the groups' vertices known
// most closely be one: a flat triangle's copies, known so loosely, could
// otherwise join its neighbours' corners through themselves. Each
// group's triangles are a list threaded through one entry per corner, so
// that joining two groups links their lists.
class CornerGroups {
public:
    CornerGroups(const SnappedCorners& snapped, const VertexFacts& facts,
                 const std::vector<char>& flat)
        : snapped_(snapped),
          facts_(facts),
          groups_(snapped.vertices.size()),
          closest_(snapped.vertices.size()),
          firm_(snapped.vertices.size(), 0),
          next_(3 * snapped.corners.size(), kEnd),
          first_(snapped.vertices.size(), kEnd),
          last_(snapped.vertices.size(), kEnd),
          size_(snapped.vertices.size(), 0) {
        for (std::size_t t = 0; t < snapped.corners.size(); ++t) {
            for (std::size_t k = 0; k < 3; ++k) {
                const VertexId v = snapped.corners[t][k];
                const auto entry = static_cast<std::uint32_t>(3 * t + k);
                (first_[v] == kEnd ? first_[v] : next_[last_[v]]) = entry;
                last_[v] = entry;
                ++size_[v];
                firm_[v] = static_cast<char>(firm_[v] || !flat[t]);
            }
        }
        for (VertexId v = 0; v < closest_.size(); ++v) {
            closest_[v] = v;
        }
    }

    bool join(VertexId a, VertexId b, bool loose) {
        std::uint32_t ra = groups_.find(a);
        std::uint32_t rb = groups_.find(b);
        if (ra == rb || (loose && ((!firm_[ra] && !firm_[rb]) ||
                                   !near(closest_[ra], closest_[rb], snapped_, facts_)))) {
            return false;
        }
        if (size_[ra] > size_[rb]) {
            std::swap(ra, rb);
        }
        for (std::uint32_t entry = first_[ra]; entry != kEnd; entry = next_[entry]) {
            for (const VertexId corner : snapped_.corners[entry / 3]) {
                if (groups_.find(corner) == rb) {
                    return false;
                }
            }
        }
        groups_.unite(ra, rb);
        const std::uint32_t root = groups_.find(ra);
        const std::uint32_t other = root == ra ? rb : ra;
        if (first_[other] != kEnd) {
            (first_[root] == kEnd ? first_[root] : next_[last_[root]]) = first_[other];
            last_[root] = last_[other];
        }
        size_[root] += size_[other];
        firm_[root] = static_cast<char>(firm_[root] || firm_[other]);
        if (facts_.bound[closest_[other]] < facts_.bound[closest_[root]]) {
            closest_[root] = closest_[other];
        }
        first_[other] = last_[other] = kEnd;
        size_[other] = 0;
        return true;
    }

    VertexId groupOf(VertexId v) { return groups_.find(v); }

private:
    static constexpr std::uint32_t kEnd = UINT32_MAX;

    const SnappedCorners& snapped_;
    const VertexFacts& facts_;
    UnionFind groups_;
    std::vector<VertexId> closest_;     // per group: its vertex known most closely
    std::vector<char> firm_;            // per group: a corner of a triangle not flat
    std::vector<std::uint32_t> next_;   // per corner: the next in its group's list
    std::vector<std::uint32_t> first_;  // per group: its list's ends, and its length
    std::vector<std::uint32_t> last_;
    std::vector<std::uint32_t> size_;
};

// The place of a joined corner: that of its vertex known most closely, the
// lowest place among equals, so that it does not depend on the order of the
// tuples.
void placeJoined(SnappedCorners& snapped, const VertexFacts& facts, CornerGroups& groups) {
    const std::size_t count = snapped.vertices.size();
    std::vector<VertexId> best(count, kNoVertex);
    for (VertexId v = 0; v < count; ++v) {
        const VertexId g = groups.groupOf(v);
        VertexId& b = best[g];
        const auto closer = [&](VertexId l, VertexId r) {
            const Point& pl = snapped.vertices[l];
            const Point& pr = snapped.vertices[r];
            return std::tie(facts.bound[l], pl.x, pl.y) < std::tie(facts.bound[r], pr.x, pr.y);
        };
        if (b == kNoVertex || closer(v, b)) {
            b = v;
        }
    }
    for (VertexId g = 0; g < count; ++g) {
        if (best[g] != kNoVertex && best[g] != g) {
            snapped.vertices[g] = snapped.vertices[best[g]];
        }
    }
    for (auto& corners : snapped.corners) {
        for (VertexId& v : corners) {
            v = groups.groupOf(v);
        }
    }
}

// Whether the bound of a triangle's corner reaches across the side opposite
// it, so that the bounds cannot tell which way round the triangle turns.
char flatWithinBounds(const Triangle& tri, std::size_t t, const CornerPrecision& precision) {
    const Point places[] = {tri.c12, tri.c13, tri.c23};
    const double twiceArea = std::fabs(orientation(tri.c12, tri.c13, tri.c23));
    for (std::size_t k = 0; k < 3; ++k) {
        const double opposite = largerAxis(places[(k + 1) % 3], places[(k + 2) % 3]);
        if (!(twiceArea > opposite * precision.known(t, k))) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

WrittenCopies::WrittenCopies(const std::vector<Triangle>& triangles,
                             const std::vector<CornerBounds>& bounds,
                             const std::vector<LineKeys>& lines)
    : triangles_(triangles), bounds_(bounds), lines_(lines) {
    sizes_.reserve(triangles.size());
    for (const Triangle& t : triangles) {
        sizes_.push_back(sizeOf(t));
    }
    const CornerPrecision precision(bounds_, sizes_);
    flat_.reserve(triangles.size());
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        flat_.push_back(flatWithinBounds(triangles[t], t, precision));
    }
}

bool WrittenCopies::leaveOutFlatEars(SnappedCorners& snapped, const std::vector<Side>& boundary) {
    std::vector<std::uint8_t> outerSides(snapped.corners.size(), 0);
    for (const Side& s : boundary) {
        outerSides[s.triangle] = static_cast<std::uint8_t>(outerSides[s.triangle] + 1);
    }
    // How many triangles meet at each vertex: a triangle that meets no other
    // is a part of its own, which stays whatever its size.
    std::vector<std::uint32_t> meeting(snapped.vertices.size(), 0);
    for (const auto& corners : snapped.corners) {
        for (const VertexId v : corners) {
            ++meeting[v];
        }
    }
    const CornerPrecision precision(bounds_, sizes_);
    VertexFacts facts;
    findExactVertices(snapped, triangles_, precision, lines_, facts);
    boundVertices(snapped, triangles_, precision, facts);
    if (snapped.leftOut.empty()) {
        snapped.leftOut.assign(snapped.corners.size(), 0);
    }
    bool any = false;
    for (std::size_t t = 0; t < snapped.corners.size(); ++t) {
        const auto& corners = snapped.corners[t];
        // Where a corner's copies from different lines agree exactly, the
        // lines meet where they are written: the ear is as the data says.
        const bool alone =
            meeting[corners[0]] == 1 && meeting[corners[1]] == 1 && meeting[corners[2]] == 1;
        if (outerSides[t] < 2 || alone || snapped.leftOut[t] || facts.exact[corners[0]] ||
            facts.exact[corners[1]] || facts.exact[corners[2]]) {
            continue;
        }
        // The corner across the longest side: its distance from that side
        // is the ear's height, and what it is known to says whether the
        // written numbers can tell that height from none.
        std::size_t apex = 0;
        double longest = -1.0;
        for (std::size_t k = 0; k < 3; ++k) {
            const double side = largerAxis(snapped.vertices[corners[(k + 1) % 3]],
                                           snapped.vertices[corners[(k + 2) % 3]]);
            if (side > longest) {
                longest = side;
                apex = k;
            }
        }
        const double twiceArea =
            std::fabs(orientation(snapped.vertices[corners[0]], snapped.vertices[corners[1]],
                                  snapped.vertices[corners[2]]));
        if (twiceArea <= longest * facts.bound[corners[apex]]) {
            snapped.leftOut[t] = 1;
            any = true;
        }
    }
    return any;
}

bool WrittenCopies::turnOverFlat(SnappedCorners& snapped, const std::vector<Side>& sides) {
    // The sides of the flat triangles, by the two vertices they join: few,
    // so every side is looked up among them.
    struct FlatSide {
        std::uint64_t ends;
        VertexId from;
        std::uint32_t triangle;
    };
    const auto endsOf = [](const Side& s) {
        return std::uint64_t{std::min(s.from, s.to)} << 32 | std::max(s.from, s.to);
    };
    std::vector<FlatSide> flatSides;
    for (const Side& s : sides) {
        if (flat_[s.triangle]) {
            flatSides.push_back(FlatSide{endsOf(s), s.from, s.triangle});
        }
    }
    if (flatSides.empty()) {
        return false;
    }
    std::sort(flatSides.begin(), flatSides.end(), [](const FlatSide& l, const FlatSide& r) {
        return std::tie(l.ends, l.triangle) < std::tie(r.ends, r.triangle);
    });
    // Per flat side's triangle: sides of others that run along its own the
    // same way, and back.
    std::vector<std::uint8_t> along(snapped.corners.size(), 0);
    std::vector<std::uint8_t> back(snapped.corners.size(), 0);
    for (const Side& s : sides) {
        const std::uint64_t ends = endsOf(s);
        auto at =
            std::lower_bound(flatSides.begin(), flatSides.end(), ends,
                             [](const FlatSide& f, std::uint64_t key) { return f.ends < key; });
        for (; at != flatSides.end() && at->ends == ends; ++at) {
            if (at->triangle != s.triangle) {
                std::uint8_t& count = at->from == s.from ? along[at->triangle] : back[at->triangle];
                count = static_cast<std::uint8_t>(std::min(count + 1, 255));
            }
        }
    }
    std::vector<std::uint32_t> turned;
    for (const FlatSide& f : flatSides) {
        if (along[f.triangle] > 0 && back[f.triangle] == 0) {
            turned.push_back(f.triangle);
        }
    }
    if (turned.empty()) {
        return false;
    }
    // A triangle's sides lie apart among the flat sides, in order of their ends.
    std::sort(turned.begin(), turned.end());
    turned.erase(std::unique(turned.begin(), turned.end()), turned.end());
    const CornerPrecision precision(bounds_, sizes_);
    VertexFacts facts;
    findExactVertices(snapped, triangles_, precision, lines_, facts);
    bool any = false;
    for (const std::uint32_t t : turned) {
        const auto& corners = snapped.corners[t];
        if (facts.exact[corners[0]] || facts.exact[corners[1]] || facts.exact[corners[2]]) {
            continue;
        }
        if (snapped.turnedOver.empty()) {
            snapped.turnedOver.assign(snapped.corners.size(), 0);
        }
        snapped.turnedOver[t] = static_cast<char>(!snapped.turnedOver[t]);
        any = true;
    }
    return any;
}

bool WrittenCopies::joinRound(SnappedCorners& snapped, const std::vector<Side>& boundary,
                              bool mendSlivers) {
    const CornerPrecision precision(bounds_, sizes_);
    VertexFacts facts;
    findExactVertices(snapped, triangles_, precision, lines_, facts);
    const bool moved = placeAtClosestCopies(snapped, triangles_, precision, facts);
    boundVertices(snapped, triangles_, precision, facts);
    const std::vector<CopyPair> pairs =
        copyPairs(boundary, snapped, lines_, facts, mendSlivers ? &flat_ : nullptr);
    if (pairs.empty()) {
        return moved;
    }
    CornerGroups groups(snapped, facts, flat_);
    bool joined = false;
    for (const CopyPair& pair : pairs) {
        joined = groups.join(pair.a, pair.b, pair.loose) || joined;
    }
    if (joined) {
        placeJoined(snapped, facts, groups);
    }
    return joined || moved;
}

}  // namespace vorn2shp::merge
