// Joining the copies of one corner that lines written to a few decimals put
// apart.
//
// A producer that prints each line with a fixed number of decimals moves
// every line a little, so the triangles on either side of a shared side
// compute its two ends from different lines, and those copies can lie
// further apart than any fixed tolerance while still within what the
// decimals allow. They show as a side of the boundary that another side
// runs back along: the same two ends, each pair within the sum of their
// bounds, and the two sides on one written line. Such pairs are joined. Where the data meets
// exactly, no bound is needed: a vertex whose copies from different lines agree to the computed
// slack is where the lines really meet, and is never moved by a bound.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>

#include "merge_steps.h"
#include "outline_merge.h"
#include "spatial_grid.h"

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

VertexFacts factsOf(const SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                    const std::vector<CornerBounds>& bounds, const std::vector<LineKeys>& lines) {
    const std::size_t count = snapped.vertices.size();
    VertexFacts facts;
    facts.bound.assign(count, HUGE_VAL);
    facts.exact.assign(count, 0);
    // The first copy of each vertex, to compare the others with.
    std::vector<std::uint32_t> firstCorner(count, UINT32_MAX);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const double size = sizeOf(triangles[t]);
        for (std::size_t k = 0; k < 3; ++k) {
            const VertexId v = snapped.corners[t][k];
            const Point& place = cornerPlace(triangles[t], k);
            const double computed = boundFraction(bounds[t].computed[k]) * size;
            const double known = boundFraction(bounds[t].written[k]) * size + computed +
                                 largerAxis(place, snapped.vertices[v]);
            facts.bound[v] = std::min(facts.bound[v], known);
            if (firstCorner[v] == UINT32_MAX) {
                firstCorner[v] = static_cast<std::uint32_t>(3 * t + k);
                continue;
            }
            const std::size_t ft = firstCorner[v] / 3;
            const std::size_t fk = firstCorner[v] % 3;
            if (facts.exact[v] || linePairOf(lines[t], k) == linePairOf(lines[ft], fk)) {
                continue;
            }
            const Point& first = cornerPlace(triangles[ft], fk);
            const double slack =
                computed + boundFraction(bounds[ft].computed[fk]) * sizeOf(triangles[ft]);
            facts.exact[v] = largerAxis(place, first) <=
                             slack + kLastPlaces * std::max(std::fabs(place.x), std::fabs(place.y));
        }
    }
    return facts;
}

// A pair of vertices that a side and the side running back along it say
// are one corner, and how far apart they lie.
struct CopyPair {
    double apart;
    VertexId a;
    VertexId b;
};

class BoundaryIndex {
public:
    BoundaryIndex(const std::vector<Side>& sides, const SnappedCorners& snapped,
                  const VertexFacts& facts)
        : sides_(sides), snapped_(snapped), facts_(facts) {
        sidesFrom_.assign(snapped.vertices.size() + 1, 0);
        for (const Side& s : sides) {
            ++sidesFrom_[s.from + 1];
        }
        for (std::size_t v = 0; v < snapped.vertices.size(); ++v) {
            sidesFrom_[v + 1] += sidesFrom_[v];
        }
        order_.resize(sides.size());
        std::vector<std::uint32_t> next(sidesFrom_.begin(), sidesFrom_.end() - 1);
        for (std::size_t i = 0; i < sides.size(); ++i) {
            order_[next[sides[i].from]++] = static_cast<std::uint32_t>(i);
        }
        indexLooseEnds();
    }

    // Whether u and v may be one corner: the same vertex, or two whose
    // places the bounds of the written numbers allow to be one, unless both
    // are where lines meet exactly. One of them may be: a round place that
    // some of the rounded lines still meet exactly takes its other copies.
    bool near(VertexId u, VertexId v) const {
        if (u == v) {
            return true;
        }
        if (facts_.exact[u] && facts_.exact[v]) {
            return false;
        }
        const Point a = snapped_.vertices[u];
        const Point b = snapped_.vertices[v];
        const double room = facts_.bound[u] + facts_.bound[v];
        return std::fabs(a.x - b.x) <=
                   toleranceNear(std::max(std::fabs(a.x), std::fabs(b.x))) + room &&
               std::fabs(a.y - b.y) <=
                   toleranceNear(std::max(std::fabs(a.y), std::fabs(b.y))) + room;
    }

    // Calls visit(v) for every vertex that begins a boundary side and may be
    // one corner with u (u itself included).
    template <class Visit>
    void forEachNearStart(VertexId u, Visit&& visit) const {
        visit(u);
        if (!isLoose(u)) {
            return;
        }
        const double reach = std::min(facts_.bound[u] + widest_, kMostCells * cell_);
        grid_->forEachWithin(snapped_.vertices[u], reach, [&](std::uint32_t v) {
            if (v != u && near(u, v)) {
                visit(v);
            }
        });
        for (const VertexId v : wide_) {
            if (v != u && near(u, v)) {
                visit(v);
            }
        }
    }

    template <class Visit>
    void forEachSideFrom(VertexId v, Visit&& visit) const {
        for (std::uint32_t i = sidesFrom_[v]; i < sidesFrom_[v + 1]; ++i) {
            visit(sides_[order_[i]]);
        }
    }

private:
    static constexpr double kMostCells = 4.0;
    static constexpr std::size_t kMostWide = 1024;

    bool isLoose(VertexId v) const { return std::isfinite(facts_.bound[v]); }

    // The vertices that begin a side and may be moved, by place: cells as
    // wide as most of their bounds, the few far wider in a list of their own.
    void indexLooseEnds() {
        std::vector<double> bounds;
        std::vector<VertexId> loose;
        for (const Side& s : sides_) {
            if (isLoose(s.from)) {
                loose.push_back(s.from);
            }
        }
        std::sort(loose.begin(), loose.end());
        loose.erase(std::unique(loose.begin(), loose.end()), loose.end());
        for (const VertexId v : loose) {
            bounds.push_back(facts_.bound[v]);
        }
        double typical = toleranceNear(0.0);
        if (!bounds.empty()) {
            const auto nine = bounds.begin() + static_cast<std::ptrdiff_t>(bounds.size() * 9 / 10);
            std::nth_element(bounds.begin(), nine, bounds.end());
            typical = std::max(typical, *nine);
        }
        widest_ = 4.0 * typical;
        cell_ = 2.0 * (typical + widest_);
        grid_ = std::make_unique<SpatialGrid>(cell_, loose.size());
        for (const VertexId v : loose) {
            if (facts_.bound[v] > widest_ && wide_.size() < kMostWide) {
                wide_.push_back(v);
            } else {
                grid_->insert(snapped_.vertices[v], v);
            }
        }
    }

    const std::vector<Side>& sides_;
    const SnappedCorners& snapped_;
    const VertexFacts& facts_;
    std::vector<std::uint32_t> sidesFrom_;
    std::vector<std::uint32_t> order_;
    double widest_ = 0.0;
    double cell_ = 1.0;
    std::unique_ptr<SpatialGrid> grid_;
    std::vector<VertexId> wide_;
};

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

// Whether `back` runs the other way along `s`: both lie on one written line
// (the side that two triangles share, written by each), in opposite
// directions, as the sides of triangles on either side of it do.
bool runsBackAlong(const Side& s, const Side& back, const SnappedCorners& snapped,
                   const std::vector<LineKeys>& lines) {
    const Point a = snapped.vertices[s.from];
    const Point b = snapped.vertices[s.to];
    const Point c = snapped.vertices[back.from];
    const Point d = snapped.vertices[back.to];
    return (b.x - a.x) * (d.x - c.x) + (b.y - a.y) * (d.y - c.y) < 0.0 &&
           lineOfSide(s, snapped, lines) == lineOfSide(back, snapped, lines);
}

std::vector<CopyPair> copyPairs(const std::vector<Side>& sides, const SnappedCorners& snapped,
                                const std::vector<LineKeys>& lines, const VertexFacts& facts) {
    const BoundaryIndex index(sides, snapped, facts);
    std::vector<CopyPair> pairs;
    const auto note = [&](VertexId u, VertexId v) {
        if (u != v) {
            pairs.push_back(CopyPair{largerAxis(snapped.vertices[u], snapped.vertices[v]),
                                     std::min(u, v), std::max(u, v)});
        }
    };
    for (const Side& s : sides) {
        // The side running back along s begins near s's end and ends near
        // its start.
        index.forEachNearStart(s.to, [&](VertexId start) {
            index.forEachSideFrom(start, [&](const Side& back) {
                if (back.triangle != s.triangle && (start != s.to || back.to != s.from) &&
                    index.near(s.from, back.to) && runsBackAlong(s, back, snapped, lines)) {
                    note(s.to, start);
                    note(s.from, back.to);
                }
            });
        });
    }
    std::sort(pairs.begin(), pairs.end(), [](const CopyPair& l, const CopyPair& r) {
        return std::tie(l.apart, l.a, l.b) < std::tie(r.apart, r.a, r.b);
    });
    pairs.erase(
        std::unique(pairs.begin(), pairs.end(),
                    [](const CopyPair& l, const CopyPair& r) { return l.a == r.a && l.b == r.b; }),
        pairs.end());
    return pairs;
}

// Vertices joined into corners, never two corners of one triangle: that
// would take its area, and with it the outline's shape there.
class CornerGroups {
public:
    explicit CornerGroups(const SnappedCorners& snapped)
        : snapped_(snapped), groups_(snapped.vertices.size()), triangles_(snapped.vertices.size()) {
        for (std::size_t t = 0; t < snapped.corners.size(); ++t) {
            for (const VertexId v : snapped.corners[t]) {
                triangles_[v].push_back(static_cast<std::uint32_t>(t));
            }
        }
    }

    bool join(VertexId a, VertexId b) {
        std::uint32_t ra = groups_.find(a);
        std::uint32_t rb = groups_.find(b);
        if (ra == rb) {
            return false;
        }
        if (triangles_[ra].size() > triangles_[rb].size()) {
            std::swap(ra, rb);
        }
        for (const std::uint32_t t : triangles_[ra]) {
            for (const VertexId corner : snapped_.corners[t]) {
                if (groups_.find(corner) == rb) {
                    return false;
                }
            }
        }
        groups_.unite(ra, rb);
        const std::uint32_t root = groups_.find(ra);
        const std::uint32_t other = root == ra ? rb : ra;
        auto& into = triangles_[root];
        auto& from = triangles_[other];
        into.insert(into.end(), from.begin(), from.end());
        std::vector<std::uint32_t>().swap(from);
        return true;
    }

    VertexId groupOf(VertexId v) { return groups_.find(v); }

private:
    const SnappedCorners& snapped_;
    UnionFind groups_;
    std::vector<std::vector<std::uint32_t>> triangles_;
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
            snapped.computedSlack[g] = snapped.computedSlack[best[g]];
        }
    }
    for (auto& corners : snapped.corners) {
        for (VertexId& v : corners) {
            v = groups.groupOf(v);
        }
    }
}

}  // namespace

bool joinRoundedCorners(SnappedCorners& snapped, const std::vector<Triangle>& triangles,
                        const std::vector<CornerBounds>& bounds, const std::vector<LineKeys>& lines,
                        const std::vector<Side>& boundary) {
    const VertexFacts facts = factsOf(snapped, triangles, bounds, lines);
    const std::vector<CopyPair> pairs = copyPairs(boundary, snapped, lines, facts);
    if (pairs.empty()) {
        return false;
    }
    CornerGroups groups(snapped);
    bool joined = false;
    for (const CopyPair& pair : pairs) {
        joined = groups.join(pair.a, pair.b) || joined;
    }
    if (joined) {
        placeJoined(snapped, facts, groups);
    }
    return joined;
}

}  // namespace vorn2shp::merge
