// Rings of a union in the order and the turning sense every object's
// outline has. The union itself knows nothing of the triangles' order, so
// the rings are matched to the triangles by their corners, each corner
// looked up in a table of the rings' points, so the cost stays linear in
// the group's size.
#include "union/union_rings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

#include "geometry/eff_format.h"

namespace vorn2shp::unionrings {

namespace {

constexpr std::size_t kNeverMet = std::numeric_limits<std::size_t>::max();

// A ring squeezed to fewer corners by the rounding covers nothing.
constexpr std::size_t kFewestCorners = 3;

bool lessPoint(Point a, Point b) { return std::tie(a.x, a.y) < std::tie(b.x, b.y); }

// The ring as written, without the closing point, each point once in a row.
Ring writtenOpenRing(const Ring& ring) {
    Ring open;
    open.reserve(ring.size());
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const Point p = writtenPoint(ring[i]);
        if (open.empty() || open.back() != p) {
            open.push_back(p);
        }
    }
    while (open.size() > 1 && open.back() == open.front()) {
        open.pop_back();
    }
    return open;
}

Ring closed(Ring open) {
    if (!open.empty()) {
        open.push_back(open.front());
    }
    return open;
}

double ringLength(const Ring& ring) {
    double length = 0.0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        length += distance(ring[i], ring[i + 1]);
    }
    return length;
}

// Crossing-number test of a closed ring; points on the ring count either way.
bool insideRing(const Ring& ring, Point p) {
    bool inside = false;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const Point a = ring[i];
        const Point b = ring[i + 1];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
            inside = !inside;
        }
    }
    return inside;
}

bool insidePolygon(const PolygonRings& polygon, Point p) {
    return insideRing(polygon.shell, p) &&
           std::none_of(polygon.holes.begin(), polygon.holes.end(),
                        [p](const Ring& hole) { return insideRing(hole, p); });
}

Point cornerAt(const std::vector<Triangle>& triangles, std::size_t k) {
    const Triangle& t = triangles[k / 3];
    return k % 3 == 0 ? t.c12 : (k % 3 == 1 ? t.c13 : t.c23);
}

struct RingEntry {
    const Ring* points = nullptr;
    std::size_t polygon = 0;
    bool hole = false;
    std::size_t firstMet = kNeverMet;  // the first corner, counted as in cornerAt
    Point lowest;
};

RingEntry entryOf(const Ring& ring, std::size_t polygon, bool hole) {
    RingEntry entry;
    entry.points = &ring;
    entry.polygon = polygon;
    entry.hole = hole;
    entry.lowest = *std::min_element(ring.begin(), ring.end(), lessPoint);
    return entry;
}

std::vector<RingEntry> entriesOf(const std::vector<PolygonRings>& polygons) {
    std::vector<RingEntry> entries;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        entries.push_back(entryOf(polygons[p].shell, p, false));
        for (const Ring& hole : polygons[p].holes) {
            entries.push_back(entryOf(hole, p, true));
        }
    }
    return entries;
}

// The rings' points, by value: each triangle corner is looked up at a
// constant cost, and the corners are three times as many as the points. A
// point on several rings (rings touching at a corner) is listed once for
// each of them.
class RingPoints {
public:
    explicit RingPoints(const std::vector<RingEntry>& entries) {
        std::size_t count = 0;
        for (const RingEntry& entry : entries) {
            count += entry.points->size() - 1;
        }
        // Between a third and two thirds full: short runs of probes, and
        // no more memory than needed, as GEOS may be checking the union
        // meanwhile.
        std::size_t size = 16;
        while (2 * size < 3 * count) {
            size *= 2;
        }
        slots_.assign(size, Slot{Point{}, kEmpty});
        for (std::size_t e = 0; e < entries.size(); ++e) {
            const Ring& ring = *entries[e].points;
            for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
                std::size_t slot = firstSlot(ring[i]);
                while (slots_[slot].ring != kEmpty) {
                    slot = (slot + 1) & (size - 1);
                }
                slots_[slot] = Slot{ring[i], static_cast<std::uint32_t>(e)};
            }
        }
    }

    // Calls visit(entry) for every ring that passes `p`.
    template <class Visit>
    void forEachRingAt(Point p, Visit&& visit) const {
        for (std::size_t slot = firstSlot(p); slots_[slot].ring != kEmpty;
             slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot].point == p) {
                visit(slots_[slot].ring);
            }
        }
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    struct Slot {
        Point point;
        std::uint32_t ring;
    };

    std::size_t firstSlot(Point p) const {
        return static_cast<std::size_t>(placeHash(p)) & (slots_.size() - 1);
    }

    std::vector<Slot> slots_;
};

// Marks each ring with the first triangle corner that is one of its points.
void markFirstMeetings(std::vector<RingEntry>& entries, const std::vector<Triangle>& triangles) {
    const RingPoints points(entries);
    std::size_t unmarked = entries.size();
    for (std::size_t k = 0; k < 3 * triangles.size() && unmarked > 0; ++k) {
        points.forEachRingAt(writtenPoint(cornerAt(triangles, k)), [&](std::uint32_t e) {
            if (entries[e].firstMet == kNeverMet) {
                entries[e].firstMet = k;
                --unmarked;
            }
        });
    }
}

// The polygon whose inside holds the first triangle's centroid; where the
// grid has squeezed that triangle away, the one whose outer ring the
// triangles meet first.
std::size_t seedPolygon(const std::vector<PolygonRings>& polygons,
                        const std::vector<RingEntry>& entries, const Triangle& seed) {
    const Point centroid{(seed.c12.x + seed.c13.x + seed.c23.x) / 3.0,
                         (seed.c12.y + seed.c13.y + seed.c23.y) / 3.0};
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (insidePolygon(polygons[p], centroid)) {
            return p;
        }
    }
    const RingEntry* best = &entries.front();
    for (const RingEntry& entry : entries) {
        if (!entry.hole && entry.firstMet < best->firstMet) {
            best = &entry;
        }
    }
    return best->polygon;
}

bool passes(const Ring& ring, Point p) {
    return std::find(ring.begin(), ring.end(), p) != ring.end();
}

Point startOf(const RingEntry& entry, const std::vector<Triangle>& triangles) {
    return entry.firstMet == kNeverMet ? entry.lowest
                                       : writtenPoint(cornerAt(triangles, entry.firstMet));
}

Point startOfFirstRing(const RingEntry& entry, const Triangle& seed,
                       const std::vector<Triangle>& triangles) {
    for (const Point corner : {seed.c12, seed.c13, seed.c23}) {
        if (passes(*entry.points, writtenPoint(corner))) {
            return writtenPoint(corner);
        }
    }
    return startOf(entry, triangles);
}

// The ring from `start`, turning as `turn` says (+1 counter-clockwise), closed.
Ring arranged(const Ring& ring, Point start, double turn) {
    Ring open(ring.begin(), ring.end() - 1);
    if (signedArea(ring) * turn < 0.0) {
        std::reverse(open.begin(), open.end());
    }
    const auto at = std::find(open.begin(), open.end(), start);
    if (at != open.end()) {
        std::rotate(open.begin(), at, open.end());
    }
    return closed(std::move(open));
}

}  // namespace

std::vector<PolygonRings> asWritten(const std::vector<PolygonRings>& polygons) {
    std::vector<PolygonRings> written;
    written.reserve(polygons.size());
    for (const PolygonRings& polygon : polygons) {
        Ring shell = writtenOpenRing(polygon.shell);
        if (shell.size() < kFewestCorners) {
            continue;
        }
        PolygonRings rings;
        rings.shell = closed(std::move(shell));
        for (const Ring& hole : polygon.holes) {
            Ring open = writtenOpenRing(hole);
            if (open.size() >= kFewestCorners) {
                rings.holes.push_back(closed(std::move(open)));
            }
        }
        written.push_back(std::move(rings));
    }
    return written;
}

double coveredArea(const std::vector<PolygonRings>& polygons) {
    double area = 0.0;
    for (const PolygonRings& polygon : polygons) {
        area += std::fabs(signedArea(polygon.shell));
        for (const Ring& hole : polygon.holes) {
            area -= std::fabs(signedArea(hole));
        }
    }
    return area;
}

double perimeter(const std::vector<PolygonRings>& polygons) {
    double length = 0.0;
    for (const PolygonRings& polygon : polygons) {
        length += ringLength(polygon.shell);
        for (const Ring& hole : polygon.holes) {
            length += ringLength(hole);
        }
    }
    return length;
}

std::vector<Ring> orderedRings(const std::vector<PolygonRings>& polygons,
                               const std::vector<Triangle>& triangles) {
    if (polygons.empty() || triangles.empty()) {
        return {};
    }
    std::vector<RingEntry> entries = entriesOf(polygons);
    markFirstMeetings(entries, triangles);
    const Triangle& seed = triangles.front();
    const double turn = orientation(seed.c12, seed.c13, seed.c23) > 0.0 ? 1.0 : -1.0;

    const std::size_t seedPart = seedPolygon(polygons, entries, seed);
    const std::size_t seedShell = static_cast<std::size_t>(
        std::find_if(entries.begin(), entries.end(),
                     [&](const RingEntry& e) { return !e.hole && e.polygon == seedPart; }) -
        entries.begin());
    std::vector<Ring> rings;
    rings.reserve(entries.size());
    rings.push_back(arranged(*entries[seedShell].points,
                             startOfFirstRing(entries[seedShell], seed, triangles), turn));
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(seedShell));
    std::stable_sort(entries.begin(), entries.end(), [](const RingEntry& a, const RingEntry& b) {
        return a.firstMet != b.firstMet ? a.firstMet < b.firstMet : lessPoint(a.lowest, b.lowest);
    });
    for (const RingEntry& entry : entries) {
        rings.push_back(
            arranged(*entry.points, startOf(entry, triangles), entry.hole ? -turn : turn));
    }
    return rings;
}

}  // namespace vorn2shp::unionrings
