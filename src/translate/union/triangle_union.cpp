// The exact union of an object's triangles, as it will be written.
//
// GEOS computes the union in doubles. Rounded to the four decimals written,
// a valid union can still turn invalid (a sliver collapses, two rings come
// to touch along a side), so the rounded rings are checked as they will be
// written, and where they fail the union is snap-rounded by GEOS onto the
// grid of the written values, which keeps it valid. Every
// result is checked, as GEOS's own coverage union checks its result: a
// valid polygon whose area is the union's.
#include "union/triangle_union.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "common/joined_thread.h"
#include "union/geos_handles.h"
#include "union/union_rings.h"

namespace vorn2shp {

namespace {

// One unit of the fourth decimal: the grid of the written values.
constexpr double kGridSize = 1e-4;
// Rounding to it moves a point by at most half a unit on each axis.
constexpr double kHalfUnit = 0.5e-4;
// How far the rings' area may differ from the union's, relative.
constexpr double kAreaTolerance = 1e-9;

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// GEOS computes a crossing from products of three coordinates, in
// double-double arithmetic: beyond this magnitude they overflow, and below
// its inverse they lose their bits, and the union comes out wrong without a
// word. Values that small are 0 at four decimals; values that large are
// beyond any map.
constexpr double kLargestForGeos = 1e75;
constexpr double kSmallestForGeos = 1e-75;

double flushedTiny(double value) { return std::fabs(value) < kSmallestForGeos ? 0.0 : value; }

Point flushedTiny(Point p) { return Point{flushedTiny(p.x), flushedTiny(p.y)}; }

bool withinGeosRange(Point p) {
    return std::fabs(p.x) <= kLargestForGeos && std::fabs(p.y) <= kLargestForGeos;
}

// The triangles that have an area, as GEOS is given them; false when a
// corner lies beyond what GEOS computes.
bool trianglesForGeos(const std::vector<Triangle>& triangles, std::vector<Triangle>& usable) {
    usable.reserve(triangles.size());
    for (const Triangle& t : triangles) {
        if (!withinGeosRange(t.c12) || !withinGeosRange(t.c13) || !withinGeosRange(t.c23)) {
            return false;
        }
        const Triangle flushed{flushedTiny(t.c12), flushedTiny(t.c13), flushedTiny(t.c23)};
        if (orientation(flushed.c12, flushed.c13, flushed.c23) != 0.0) {
            usable.push_back(flushed);
        }
    }
    return true;
}

// True when GEOS can take the triangles as they are, with no corner to
// flush or beyond its range and an area to each: then they need no copy.
bool readyForGeos(const std::vector<Triangle>& triangles) {
    for (const Triangle& t : triangles) {
        for (const Point p : {t.c12, t.c13, t.c23}) {
            if (!withinGeosRange(p) || flushedTiny(p) != p) {
                return false;
            }
        }
        if (orientation(t.c12, t.c13, t.c23) == 0.0) {
            return false;
        }
    }
    return true;
}

// The most that moving every point by up to half a unit per axis can change
// the area: each point moved by d changes it by at most |d| times the
// length of its two sides, and the products of two moves add n * |d|^2.
double roundingAllowance(const std::vector<PolygonRings>& polygons) {
    std::size_t points = 0;
    for (const PolygonRings& polygon : polygons) {
        points += polygon.shell.size();
        for (const Ring& hole : polygon.holes) {
            points += hole.size();
        }
    }
    const double move = std::sqrt(2.0) * kHalfUnit;
    return move * unionrings::perimeter(polygons) + static_cast<double>(points) * move * move;
}

struct CharsDeleter {
    GEOSContextHandle_t handle;
    void operator()(char* text) const { GEOSFree_r(handle, text); }
};

// Why GEOS finds the written polygons invalid; empty when they are valid.
std::string invalidityOf(geos::Context& context, const std::vector<PolygonRings>& written) {
    if (written.empty()) {
        return "nothing is left of it at four decimals";
    }
    const geos::Geometry shape = geos::multiPolygon(context, written);
    if (!shape) {
        return "GEOS refused its rings (" + context.takeError() + ")";
    }
    if (GEOSisValid_r(context.handle(), shape.get()) == 1) {
        return {};
    }
    const std::unique_ptr<char, CharsDeleter> reason(
        GEOSisValidReason_r(context.handle(), shape.get()), CharsDeleter{context.handle()});
    return "as written it is not a valid polygon (" +
           (reason ? std::string(reason.get()) : context.takeError()) + ")";
}

std::size_t ringCount(const std::vector<PolygonRings>& polygons) {
    std::size_t rings = 0;
    for (const PolygonRings& polygon : polygons) {
        rings += 1 + polygon.holes.size();
    }
    return rings;
}

// How many rings of the union in full precision are gone from it as
// written, squeezed below three corners. (On the grid of the written values
// rings may also join or part; what the grid does is snap-rounding's.)
std::size_t fewerRings(const std::vector<PolygonRings>& exact, const std::vector<Ring>& written) {
    const std::size_t rings = ringCount(exact);
    return rings > written.size() ? rings - written.size() : 0;
}

// The union's polygons as they will be written, and what is wrong with them.
struct CheckedUnion {
    std::vector<PolygonRings> written;  // left empty by checkedWritten, whose caller has them
    std::string fault;
    bool valid = false;
};

// Checks `written`, which is `polygons` as written (see unionrings::asWritten).
CheckedUnion checkedWritten(geos::Context& context, const std::vector<PolygonRings>& polygons,
                            const std::vector<PolygonRings>& written, double unionArea,
                            bool onGrid) {
    CheckedUnion checked;
    checked.fault = invalidityOf(context, written);
    checked.valid = checked.fault.empty();
    // The rings read back cover the union's area; rounding them for writing
    // may move it only as far as the moves of their points allow.
    const double ringsArea = unionrings::coveredArea(polygons);
    const double writtenArea = unionrings::coveredArea(written);
    const double allowed = kAreaTolerance * unionArea;
    const double allowedWritten = allowed + (onGrid ? 0.0 : roundingAllowance(written));
    if (checked.fault.empty() && (std::fabs(ringsArea - unionArea) > allowed ||
                                  std::fabs(writtenArea - unionArea) > allowedWritten)) {
        checked.fault = "its rings cover an area of " + numberText(writtenArea) +
                        ", the union of its triangles " + numberText(unionArea);
    }
    return checked;
}

CheckedUnion checkedPolygons(geos::Context& context, const std::vector<PolygonRings>& polygons,
                             double unionArea, bool onGrid) {
    std::vector<PolygonRings> written = unionrings::asWritten(polygons);
    CheckedUnion checked = checkedWritten(context, polygons, written, unionArea, onGrid);
    checked.written = std::move(written);
    return checked;
}

CheckedUnion checkedUnion(geos::Context& context, const GEOSGeometry& shape, bool onGrid) {
    std::vector<PolygonRings> polygons;
    double unionArea = 0.0;
    if (!geos::polygonsOf(context, shape, polygons) ||
        GEOSArea_r(context.handle(), &shape, &unionArea) == 0) {
        CheckedUnion checked;
        checked.fault = "GEOS gave no polygon for their union (" + context.takeError() + ")";
        return checked;
    }
    return checkedPolygons(context, polygons, unionArea, onGrid);
}

// The union as traced, snap-rounded onto the grid of the written values,
// for when rounding it for writing leaves it invalid. Not valid when the
// traced polygons give GEOS trouble.
CheckedUnion tracedOnGrid(geos::Context& context, const std::vector<PolygonRings>& traced,
                          CheckedUnion asWritten, bool& onGrid) {
    // Snap-rounding starts from a valid union, or it may round a wrong one.
    const geos::Geometry exact = geos::multiPolygon(context, traced);
    if (!exact || GEOSisValid_r(context.handle(), exact.get()) != 1) {
        return asWritten;
    }
    const geos::Geometry grid(GEOSGeom_setPrecision_r(context.handle(), exact.get(), kGridSize, 0),
                              geos::GeometryDeleter{context.handle()});
    if (!grid) {
        return asWritten;
    }
    CheckedUnion checked = checkedUnion(context, *grid, true);
    onGrid = checked.valid;
    return checked;
}

// Rings of at least this many points in all are worth a thread of their own
// for their ordering: it then takes milliseconds, starting a thread some
// microseconds.
constexpr std::size_t kPointsWorthAThread = 4096;

std::size_t pointCount(const std::vector<PolygonRings>& polygons) {
    std::size_t points = 0;
    for (const PolygonRings& polygon : polygons) {
        points += polygon.shell.size();
        for (const Ring& hole : polygon.holes) {
            points += hole.size();
        }
    }
    return points;
}

// The written rings in writing order, for when GEOS finds them valid.
// Ordering a large union takes about half as long as GEOS's check, and
// needs nothing of it, so it runs on a thread of its own meanwhile; a small
// one is ordered only when asked for. The polygons and triangles must
// outlive it.
class OrderedAside {
public:
    OrderedAside(const std::vector<PolygonRings>& written, const std::vector<Triangle>& triangles)
        : written_(written), triangles_(triangles) {
        if (pointCount(written) >= kPointsWorthAThread) {
            thread_.start([this] { rings_ = unionrings::orderedRings(written_, triangles_); });
        }
    }

    std::vector<Ring> rings() {
        if (!thread_.started()) {
            return unionrings::orderedRings(written_, triangles_);
        }
        thread_.join();
        return std::move(rings_);
    }

private:
    const std::vector<PolygonRings>& written_;
    const std::vector<Triangle>& triangles_;
    std::vector<Ring> rings_;
    JoinedThread thread_;  // last: joined before the rest goes
};

}  // namespace

TriangleUnion::TriangleUnion() : context_(std::make_unique<geos::Context>()) {}

TriangleUnion::~TriangleUnion() = default;

UnionOutline TriangleUnion::outline(const std::vector<Triangle>& triangles,
                                    const std::vector<PolygonRings>& traced) {
    UnionOutline result;
    std::vector<Triangle> cleaned;
    const bool asTheyAre = readyForGeos(triangles);
    if (!asTheyAre && !trianglesForGeos(triangles, cleaned)) {
        result.fault = "a corner lies beyond " + numberText(kLargestForGeos) +
                       ", where GEOS cannot compute it";
        return result;
    }
    const std::vector<Triangle>& usable = asTheyAre ? triangles : cleaned;
    if (usable.empty()) {
        result.fault = "none of its triangles has an area";
        return result;
    }
    geos::Context& context = *context_;
    if (!traced.empty()) {
        const std::vector<PolygonRings> written = unionrings::asWritten(traced);
        OrderedAside ordered(written, usable);
        CheckedUnion checked =
            checkedWritten(context, traced, written, unionrings::coveredArea(traced), false);
        if (checked.valid) {
            result.rings = ordered.rings();
            result.collapsedRings = fewerRings(traced, result.rings);
            return result;
        }
        checked = tracedOnGrid(context, traced, std::move(checked), result.onGrid);
        if (checked.valid) {
            result.rings = unionrings::orderedRings(checked.written, usable);
            return result;
        }
        result.onGrid = false;
    }
    const geos::Geometry input = geos::triangleCollection(context, usable);
    if (!input) {
        result.fault = "GEOS refused its triangles (" + context.takeError() + ")";
        return result;
    }
    const geos::Geometry exact(GEOSUnaryUnion_r(context.handle(), input.get()),
                               geos::GeometryDeleter{context.handle()});
    CheckedUnion checked;
    if (exact) {
        checked = checkedUnion(context, *exact, false);
    } else {
        checked.fault = "GEOS could not compute their union (" + context.takeError() + ")";
    }
    if (!checked.valid) {
        // Snap-rounding the union itself is far cheaper than taking the union
        // of the rounded triangles; that is left for when GEOS had no union.
        const geos::Geometry grid(
            exact ? GEOSGeom_setPrecision_r(context.handle(), exact.get(), kGridSize, 0)
                  : GEOSUnaryUnionPrec_r(context.handle(), input.get(), kGridSize),
            geos::GeometryDeleter{context.handle()});
        if (grid) {
            checked = checkedUnion(context, *grid, true);
            result.onGrid = true;
        } else {
            checked.fault +=
                "; nor on the grid of the written values (" + context.takeError() + ")";
        }
    }
    result.rings = unionrings::orderedRings(checked.written, usable);
    if (exact && !result.onGrid) {
        std::vector<PolygonRings> polygons;
        if (geos::polygonsOf(context, *exact, polygons)) {
            result.collapsedRings = fewerRings(polygons, result.rings);
        }
    }
    result.fault = std::move(checked.fault);
    return result;
}

}  // namespace vorn2shp
