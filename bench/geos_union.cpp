// Times GEOS's own union of triangles, the reference the union of an
// object's overlapping triangles is held against: reads WKT polygons, one a
// line, takes GEOSUnaryUnion of their collection and prints the seconds it
// took and the area of the union (peak memory is measured around it).
//
//   geos_union <file.wkt>
#include <geos_c.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Context {
    GEOSContextHandle_t handle = GEOS_init_r();
    ~Context() { GEOS_finish_r(handle); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: geos_union <file.wkt>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    const Context context;
    GEOSWKTReader* reader = GEOSWKTReader_create_r(context.handle);
    std::vector<GEOSGeometry*> parts;
    for (std::string line; std::getline(in, line);) {
        if (GEOSGeometry* g = GEOSWKTReader_read_r(context.handle, reader, line.c_str())) {
            parts.push_back(g);
        }
    }
    GEOSWKTReader_destroy_r(context.handle, reader);
    const auto start = std::chrono::steady_clock::now();
    GEOSGeometry* collection = GEOSGeom_createCollection_r(
        context.handle, GEOS_GEOMETRYCOLLECTION, parts.data(), static_cast<unsigned>(parts.size()));
    GEOSGeometry* unioned = GEOSUnaryUnion_r(context.handle, collection);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    double area = 0.0;
    if (unioned == nullptr || GEOSArea_r(context.handle, unioned, &area) == 0) {
        std::fprintf(stderr, "geos_union: GEOS gave no union\n");
        return 1;
    }
    std::printf("%zu triangles: union in %.3f s, area %.6f\n", parts.size(), took.count(), area);
    GEOSGeom_destroy_r(context.handle, unioned);
    GEOSGeom_destroy_r(context.handle, collection);
    return 0;
}
