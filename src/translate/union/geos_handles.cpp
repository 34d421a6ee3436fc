#include "union/geos_handles.h"

#include <array>
#include <new>

namespace vorn2shp::geos {

Context::Context() : handle_(GEOS_init_r()) {
    if (handle_ == nullptr) {
        throw std::bad_alloc();
    }
    GEOSContext_setErrorMessageHandler_r(handle_, &Context::recordError, this);
}

Context::~Context() { GEOS_finish_r(handle_); }

std::string Context::takeError() {
    std::string error = error_.empty() ? "GEOS gave no reason" : error_;
    error_.clear();
    return error;
}

void Context::recordError(const char* message, void* context) {
    static_cast<Context*>(context)->error_ = message;
}

namespace {

Geometry own(Context& context, GEOSGeometry* geometry) {
    return Geometry(geometry, GeometryDeleter{context.handle()});
}

// A closed ring of `count` points from x, y pairs; null when GEOS refused.
Geometry linearRing(Context& context, const double* xy, std::size_t count) {
    GEOSCoordSequence* sequence =
        GEOSCoordSeq_copyFromBuffer_r(context.handle(), xy, static_cast<unsigned int>(count), 0, 0);
    if (sequence == nullptr) {
        return own(context, nullptr);
    }
    // The ring owns the sequence from here on, even when it is refused.
    return own(context, GEOSGeom_createLinearRing_r(context.handle(), sequence));
}

Geometry linearRing(Context& context, const Ring& ring) {
    std::vector<double> xy;
    xy.reserve(2 * ring.size());
    for (const Point& p : ring) {
        xy.push_back(p.x);
        xy.push_back(p.y);
    }
    return linearRing(context, xy.data(), ring.size());
}

// Hands the parts over to a new polygon or collection, which owns them
// from then on.
std::vector<GEOSGeometry*> released(std::vector<Geometry>& parts) {
    std::vector<GEOSGeometry*> raw;
    raw.reserve(parts.size());
    for (Geometry& part : parts) {
        raw.push_back(part.release());
    }
    return raw;
}

Geometry polygon(Context& context, Geometry shell, std::vector<Geometry> holes) {
    std::vector<GEOSGeometry*> rawHoles = released(holes);
    return own(context, GEOSGeom_createPolygon_r(context.handle(), shell.release(), rawHoles.data(),
                                                 static_cast<unsigned int>(rawHoles.size())));
}

Geometry collection(Context& context, int type, std::vector<Geometry> parts) {
    std::vector<GEOSGeometry*> raw = released(parts);
    return own(context, GEOSGeom_createCollection_r(context.handle(), type, raw.data(),
                                                    static_cast<unsigned int>(raw.size())));
}

bool readRing(Context& context, const GEOSGeometry* ring, Ring& points) {
    const GEOSCoordSequence* sequence = GEOSGeom_getCoordSeq_r(context.handle(), ring);
    unsigned int size = 0;
    if (sequence == nullptr || GEOSCoordSeq_getSize_r(context.handle(), sequence, &size) == 0) {
        return false;
    }
    std::vector<double> xy(2 * static_cast<std::size_t>(size));
    if (size > 0 && GEOSCoordSeq_copyToBuffer_r(context.handle(), sequence, xy.data(), 0, 0) == 0) {
        return false;
    }
    points.resize(size);
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i] = Point{xy[2 * i], xy[2 * i + 1]};
    }
    return true;
}

bool readPolygon(Context& context, const GEOSGeometry* geometry, PolygonRings& polygon) {
    const GEOSGeometry* shell = GEOSGetExteriorRing_r(context.handle(), geometry);
    const int holes = GEOSGetNumInteriorRings_r(context.handle(), geometry);
    if (shell == nullptr || holes < 0 || !readRing(context, shell, polygon.shell)) {
        return false;
    }
    polygon.holes.resize(static_cast<std::size_t>(holes));
    for (int h = 0; h < holes; ++h) {
        const GEOSGeometry* hole = GEOSGetInteriorRingN_r(context.handle(), geometry, h);
        if (hole == nullptr ||
            !readRing(context, hole, polygon.holes[static_cast<std::size_t>(h)])) {
            return false;
        }
    }
    return true;
}

}  // namespace

Geometry triangleCollection(Context& context, const std::vector<Triangle>& triangles) {
    std::vector<Geometry> parts;
    parts.reserve(triangles.size());
    for (const Triangle& t : triangles) {
        const std::array<double, 8> xy{t.c12.x, t.c12.y, t.c13.x, t.c13.y,
                                       t.c23.x, t.c23.y, t.c12.x, t.c12.y};
        Geometry shell = linearRing(context, xy.data(), 4);
        if (!shell) {
            return own(context, nullptr);
        }
        parts.push_back(polygon(context, std::move(shell), {}));
        if (!parts.back()) {
            return own(context, nullptr);
        }
    }
    return collection(context, GEOS_GEOMETRYCOLLECTION, std::move(parts));
}

Geometry multiPolygon(Context& context, const std::vector<PolygonRings>& polygons) {
    std::vector<Geometry> parts;
    parts.reserve(polygons.size());
    for (const PolygonRings& rings : polygons) {
        Geometry shell = linearRing(context, rings.shell);
        std::vector<Geometry> holes;
        holes.reserve(rings.holes.size());
        for (const Ring& hole : rings.holes) {
            holes.push_back(linearRing(context, hole));
            if (!holes.back()) {
                return own(context, nullptr);
            }
        }
        if (!shell) {
            return own(context, nullptr);
        }
        parts.push_back(polygon(context, std::move(shell), std::move(holes)));
        if (!parts.back()) {
            return own(context, nullptr);
        }
    }
    return collection(context, GEOS_MULTIPOLYGON, std::move(parts));
}

bool polygonsOf(Context& context, const GEOSGeometry& geometry,
                std::vector<PolygonRings>& polygons) {
    polygons.clear();
    const int type = GEOSGeomTypeId_r(context.handle(), &geometry);
    if (type == GEOS_POLYGON) {
        polygons.emplace_back();
        return readPolygon(context, &geometry, polygons.back());
    }
    if (type != GEOS_MULTIPOLYGON && type != GEOS_GEOMETRYCOLLECTION) {
        return false;
    }
    const int count = GEOSGetNumGeometries_r(context.handle(), &geometry);
    for (int i = 0; i < count; ++i) {
        const GEOSGeometry* part = GEOSGetGeometryN_r(context.handle(), &geometry, i);
        if (part == nullptr || GEOSGeomTypeId_r(context.handle(), part) != GEOS_POLYGON) {
            return false;
        }
        polygons.emplace_back();
        if (!readPolygon(context, part, polygons.back())) {
            return false;
        }
    }
    return count >= 0;
}

}  // namespace vorn2shp::geos
