#include "translate/union/union_checks.h"

#include <geos_c.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "union/geos_handles.h"

namespace vorn2shp {

void PrintTo(const Point& p, std::ostream* out) { *out << "(" << p.x << "," << p.y << ")"; }

namespace testing {

namespace {

// The product's own handles; the checks' GEOS calls are their own.
using Geos = geos::Context;
using Destroy = geos::GeometryDeleter;
using Shape = geos::Geometry;

Shape ringPolygon(const Geos& geos, const Ring& ring) {
    GEOSCoordSequence* sequence =
        GEOSCoordSeq_create_r(geos.handle(), static_cast<unsigned int>(ring.size()), 2);
    for (unsigned int i = 0; i < ring.size(); ++i) {
        GEOSCoordSeq_setXY_r(geos.handle(), sequence, i, ring[i].x, ring[i].y);
    }
    GEOSGeometry* shell = GEOSGeom_createLinearRing_r(geos.handle(), sequence);
    return Shape(
        shell == nullptr ? nullptr : GEOSGeom_createPolygon_r(geos.handle(), shell, nullptr, 0),
        Destroy{geos.handle()});
}

double areaOf(const Geos& geos, const GEOSGeometry* shape) {
    double area = 0;
    GEOSArea_r(geos.handle(), shape, &area);
    return area;
}

}  // namespace

double foldedUnionArea(const std::vector<Triangle>& triangles) {
    const Geos geos;
    Shape all(nullptr, Destroy{geos.handle()});
    for (const Triangle& t : triangles) {
        Shape one = ringPolygon(geos, Ring{t.c12, t.c13, t.c23, t.c12});
        all = all ? Shape(GEOSUnion_r(geos.handle(), all.get(), one.get()), Destroy{geos.handle()})
                  : std::move(one);
        if (!all) {
            return std::nan("");
        }
    }
    return all ? areaOf(geos, all.get()) : 0.0;
}

std::string validityAsRead(const std::vector<Ring>& rings, double outerTurn) {
    const Geos geos;
    std::vector<std::size_t> outers;
    std::vector<std::size_t> holes;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        double twice = 0;
        for (std::size_t i = 0; i + 1 < rings[r].size(); ++i) {
            twice += rings[r][i].x * rings[r][i + 1].y - rings[r][i + 1].x * rings[r][i].y;
        }
        (twice * outerTurn > 0 ? outers : holes).push_back(r);
    }
    std::vector<std::vector<std::size_t>> holesOf(outers.size());
    for (const std::size_t h : holes) {
        const Shape hole = ringPolygon(geos, rings[h]);
        std::size_t best = outers.size();
        double bestArea = 0;
        for (std::size_t o = 0; o < outers.size(); ++o) {
            const Shape outer = ringPolygon(geos, rings[outers[o]]);
            const double area = areaOf(geos, outer.get());
            if (outer && hole && GEOSCovers_r(geos.handle(), outer.get(), hole.get()) == 1 &&
                (best == outers.size() || area < bestArea)) {
                best = o;
                bestArea = area;
            }
        }
        if (best == outers.size()) {
            return "hole " + std::to_string(h) + " lies in no outer ring";
        }
        holesOf[best].push_back(h);
    }
    std::string text = "MULTIPOLYGON(";
    for (std::size_t o = 0; o < outers.size(); ++o) {
        text += o == 0 ? "(" : ",(";
        std::vector<std::size_t> parts{outers[o]};
        parts.insert(parts.end(), holesOf[o].begin(), holesOf[o].end());
        for (std::size_t p = 0; p < parts.size(); ++p) {
            text += p == 0 ? "(" : ",(";
            for (std::size_t i = 0; i < rings[parts[p]].size(); ++i) {
                char point[80];
                std::snprintf(point, sizeof point, "%s%.17g %.17g", i == 0 ? "" : ",",
                              rings[parts[p]][i].x, rings[parts[p]][i].y);
                text += point;
            }
            text += ")";
        }
        text += ")";
    }
    text += ")";
    GEOSWKTReader* reader = GEOSWKTReader_create_r(geos.handle());
    const Shape shape(GEOSWKTReader_read_r(geos.handle(), reader, text.c_str()),
                      Destroy{geos.handle()});
    GEOSWKTReader_destroy_r(geos.handle(), reader);
    if (!shape) {
        return "GEOS cannot read " + text;
    }
    char* reason = GEOSisValidReason_r(geos.handle(), shape.get());
    std::string verdict = reason == nullptr ? "no verdict" : reason;
    GEOSFree_r(geos.handle(), reason);
    return verdict;
}

std::vector<Ring> ringsAsSplit(const std::vector<Ring>& rings) {
    std::vector<Point> points;
    for (const Ring& ring : rings) {
        points.insert(points.end(), ring.begin(), ring.end());
    }
    std::vector<Ring> split(1);
    for (const Point& p : points) {
        split.back().push_back(p);
        if (split.back().size() >= 4 && p == split.back().front()) {
            split.emplace_back();
        }
    }
    if (split.back().empty()) {
        split.pop_back();
    }
    return split;
}

bool onWrittenValues(const std::vector<Ring>& rings) {
    for (const Ring& ring : rings) {
        for (const Point& p : ring) {
            for (const double value : {p.x, -p.y}) {
                char text[64];
                std::snprintf(text, sizeof text, "%.4f", value);
                if (std::strtod(text, nullptr) != value) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace testing
}  // namespace vorn2shp
