// Where the sides of an outline meet other than end to end: a corner of
// one inside another, or two that cross. Sides that come near each other are
// found through cells (see CellLists), and each such pair is looked at.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "merge/cell_lists.h"
#include "merge/merge_steps.h"
#include "merge/spatial_grid.h"

namespace vorn2shp::merge {

namespace {

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

// Looks at one pair of sides for the ends of either lying inside the
// other, and else for a crossing.
class PairInspector {
public:
    PairInspector(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                  std::size_t mostCrossings, SideContacts& found)
        : sides_(sides),
          vertices_(vertices),
          tolerance_(found.tolerance),
          mostCrossings_(mostCrossings),
          found_(found) {}

    // False once more crossings than asked for have been found.
    bool inspect(std::uint32_t i, std::uint32_t j) {
        const Side& e = sides_[i];
        const Side& f = sides_[j];
        // Most pairs that share a cell lie apart: no contact without boxes
        // that meet.
        if (!boxesMeet(vertices_[e.from], vertices_[e.to], vertices_[f.from], vertices_[f.to])) {
            return true;
        }
        const bool cornerOnI = addCornersOn(i, j);
        const bool cornerOnJ = addCornersOn(j, i);
        if (!cornerOnI && !cornerOnJ && !endsOn(e, f.from) && !endsOn(e, f.to) &&
            properlyCross(vertices_[e.from], vertices_[e.to], vertices_[f.from], vertices_[f.to])) {
            found_.crossings.emplace_back(i, j);
        }
        return found_.crossings.size() <= mostCrossings_;
    }

private:
    bool boxesMeet(Point a, Point b, Point c, Point d) const {
        return std::max(a.x, b.x) + tolerance_ >= std::min(c.x, d.x) &&
               std::max(c.x, d.x) + tolerance_ >= std::min(a.x, b.x) &&
               std::max(a.y, b.y) + tolerance_ >= std::min(c.y, d.y) &&
               std::max(c.y, d.y) + tolerance_ >= std::min(a.y, b.y);
    }

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
    std::size_t mostCrossings_;
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

// The contacts among the sides listed in `subset` (in increasing order),
// with the sides' own numbers.
bool contactsAmong(const std::vector<Side>& sides, const std::vector<std::uint32_t>& subset,
                   const std::vector<Point>& vertices, double tolerance, std::size_t budget,
                   std::size_t mostCrossings, SideContacts& found) {
    found = SideContacts{};
    found.tolerance = tolerance;
    PairInspector inspector(sides, vertices, mostCrossings, found);
    bool complete = true;
    if (subset.size() <= kFewSides) {
        for (std::size_t i = 0; i < subset.size() && complete; ++i) {
            for (std::size_t j = i + 1; j < subset.size() && complete; ++j) {
                complete = inspector.inspect(subset[i], subset[j]);
            }
        }
    } else {
        std::vector<Segment> segments;
        segments.reserve(subset.size());
        for (const std::uint32_t i : subset) {
            segments.push_back(Segment{vertices[sides[i].from], vertices[sides[i].to]});
        }
        const CellLists cells(std::move(segments), tolerance);
        complete = cells.forEachPair(budget, [&](std::uint32_t i, std::uint32_t j) {
            return inspector.inspect(subset[i], subset[j]);
        });
    }
    putInOrder(found);
    return complete;
}

// Calls visit(key) for each cell of `cells` that the box around a and b,
// widened by `reach`, overlaps; false, without a call, when they are more
// than `most`.
template <class Visit>
bool forEachCellNear(const GridCells& cells, Point a, Point b, double reach, std::int64_t most,
                     Visit&& visit) {
    const std::int64_t left = cells.index(std::min(a.x, b.x) - reach);
    const std::int64_t right = cells.index(std::max(a.x, b.x) + reach);
    const std::int64_t bottom = cells.index(std::min(a.y, b.y) - reach);
    const std::int64_t top = cells.index(std::max(a.y, b.y) + reach);
    if ((right - left + 1) * (top - bottom + 1) > most) {
        return false;
    }
    for (std::int64_t c = left; c <= right; ++c) {
        for (std::int64_t r = bottom; r <= top; ++r) {
            visit(GridCells::key(c, r));
        }
    }
    return true;
}

// The sides that end at a touched vertex and every side that comes within
// `reach` of one of them, in increasing order; some sides a little further
// off may be among them.
std::vector<std::uint32_t> sidesNearTouched(const std::vector<Side>& sides,
                                            const std::vector<Point>& vertices,
                                            const std::vector<char>& touched, double reach) {
    std::vector<std::uint32_t> all(sides.size());
    std::vector<char> chosen(sides.size(), 0);
    double extents = 0.0;
    std::size_t count = 0;
    // The box around the touched sides, widened by `reach`.
    Point low{HUGE_VAL, HUGE_VAL};
    Point high{-HUGE_VAL, -HUGE_VAL};
    for (std::size_t i = 0; i < sides.size(); ++i) {
        all[i] = static_cast<std::uint32_t>(i);
        if (touched[sides[i].from] || touched[sides[i].to]) {
            chosen[i] = 1;
            ++count;
            const Point a = vertices[sides[i].from];
            const Point b = vertices[sides[i].to];
            extents += std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y));
            low = Point{std::min({low.x, a.x - reach, b.x - reach}),
                        std::min({low.y, a.y - reach, b.y - reach})};
            high = Point{std::max({high.x, a.x + reach, b.x + reach}),
                         std::max({high.y, a.y + reach, b.y + reach})};
        }
    }
    const auto meetsTouchedBox = [&](std::size_t i) {
        const Point a = vertices[sides[i].from];
        const Point b = vertices[sides[i].to];
        return std::max(a.x, b.x) + reach >= low.x && std::min(a.x, b.x) - reach <= high.x &&
               std::max(a.y, b.y) + reach >= low.y && std::min(a.y, b.y) - reach <= high.y;
    };
    // Cells about as large as a touched side; looking near most of the
    // sides is looking at all of them.
    const double cell =
        extents / static_cast<double>(std::max<std::size_t>(count, 1)) + 2.0 * reach;
    if (4 * count > sides.size() || !(cell > 0.0) || !std::isfinite(cell)) {
        return all;
    }
    const GridCells grid(cell);
    const auto cellsOf = [&](std::size_t i, std::int64_t most, auto&& visit) {
        return forEachCellNear(grid, vertices[sides[i].from], vertices[sides[i].to], reach, most,
                               visit);
    };
    // A side across more cells than this is simply taken.
    constexpr std::int64_t kMostCells = 16;
    std::vector<std::uint64_t> near;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        if (chosen[i] &&
            !cellsOf(i, 64 * kMostCells, [&](std::uint64_t key) { near.push_back(key); })) {
            return all;
        }
    }
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    std::vector<std::uint32_t> subset;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        if (!chosen[i] && !meetsTouchedBox(i)) {
            continue;
        }
        bool meets = false;
        const bool isNear =
            chosen[i] != 0 ||
            !cellsOf(i, kMostCells,
                     [&](std::uint64_t key) {
                         meets = meets || std::binary_search(near.begin(), near.end(), key);
                     }) ||
            meets;
        if (isNear) {
            subset.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return subset;
}

}  // namespace

bool findContacts(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                  std::size_t budget, SideContacts& found, std::size_t mostCrossings) {
    std::vector<std::uint32_t> all(sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        all[i] = static_cast<std::uint32_t>(i);
    }
    return contactsAmong(sides, all, vertices, toleranceForSides(sides, vertices), budget,
                         mostCrossings, found);
}

std::vector<char> contactVertices(const SideContacts& found, const std::vector<Side>& sides,
                                  std::size_t vertexCount) {
    std::vector<char> touched(vertexCount, 0);
    for (const Cut& cut : found.corners) {
        touched[cut.vertex] = 1;
    }
    for (const auto& [i, j] : found.crossings) {
        for (const std::uint32_t side : {i, j}) {
            touched[sides[side].from] = 1;
            touched[sides[side].to] = 1;
        }
    }
    return touched;
}

bool findContactsAfterSplit(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                            const std::vector<char>& touched, std::size_t budget,
                            SideContacts& found) {
    const double tolerance = toleranceForSides(sides, vertices);
    // A wider reach could bring sides that met nowhere before into contact.
    if (tolerance > found.tolerance) {
        return findContacts(sides, vertices, budget, found);
    }
    return contactsAmong(sides, sidesNearTouched(sides, vertices, touched, tolerance), vertices,
                         tolerance, budget, SIZE_MAX, found);
}

}  // namespace vorn2shp::merge
