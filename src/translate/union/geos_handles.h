// GEOS through its reentrant C API, with every handle owned: a context per
// user, geometries and coordinate sequences freed by their owner on every
// path. Only the union of triangles uses it.
#pragma once

#include <geos_c.h>

#include <memory>
#include <string>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp::geos {

// One GEOS context and the last error it reported. It cannot move, since
// GEOS keeps its address for the error handler.
class Context {
public:
    Context();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    GEOSContextHandle_t handle() const { return handle_; }
    // The text of the last error since the last call, or a plain statement
    // when GEOS gave none; then forgotten.
    std::string takeError();

private:
    static void recordError(const char* message, void* context);

    GEOSContextHandle_t handle_;
    std::string error_;
};

struct GeometryDeleter {
    GEOSContextHandle_t handle;
    void operator()(GEOSGeometry* geometry) const { GEOSGeom_destroy_r(handle, geometry); }
};
using Geometry = std::unique_ptr<GEOSGeometry, GeometryDeleter>;

// The triangles as one collection of polygons; null when GEOS refused.
Geometry triangleCollection(Context& context, const std::vector<Triangle>& triangles);

// The polygons as one multipolygon; null when GEOS refused a ring (fewer
// than four points, or not closed).
Geometry multiPolygon(Context& context, const std::vector<PolygonRings>& polygons);

// The rings of a polygon or multipolygon; false for any other geometry.
bool polygonsOf(Context& context, const GEOSGeometry& geometry,
                std::vector<PolygonRings>& polygons);

}  // namespace vorn2shp::geos
