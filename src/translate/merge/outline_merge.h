// Glues the triangles of one object into the rings of its outline.
#pragma once

#include <cstddef>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp {

struct MergeResult {
    // Every boundary ring of the union of the triangles, each closed by
    // repeating its first point. The first is the outer ring of the part
    // that holds the seed (the first triangle); the others follow in the
    // order the triangles first meet them. Outer rings turn like the seed,
    // holes the other way.
    std::vector<Ring> rings;
    // Triangles left out because they have no area once corners closer than
    // the corner tolerance are joined.
    std::size_t droppedTriangles = 0;
    // False when the triangles do not meet edge to edge: they overlap, or a
    // corner lies on another triangle's side. The rings are then the best
    // outline the data allows.
    bool edgeToEdge = true;
    // Where they do not, the polygons of their union, corners joined as
    // above; empty when the sides left over could not be sorted out, and
    // then the union is left to GEOS.
    std::vector<PolygonRings> unionPolygons;
    // True when corners were moved beyond their own computation's slack to
    // join their copies (the lines were written to a few decimals): the
    // triangles as merged then differ from the triangles as computed.
    bool cornersMoved = false;
    // Then the triangles with their corners where they were joined, those
    // that joining turned over left out: the triangles the union is of.
    std::vector<Triangle> joinedTriangles;
    // How far apart, on either axis, the corners joined into one lay at most.
    double largestDisagreement = 0.0;
};

// Two corners are one corner when x and y each differ by no more than
// 5e-5 and a few units in their last place: far below the four decimals
// written.
bool sameCorner(Point a, Point b);

// `bounds` holds how closely each corner is known, one entry per triangle;
// empty for corners computed to a few units in their last place from lines
// written exactly. `lines` holds the keys of each triangle's lines where
// some of them are written with decimals; empty where none is.
MergeResult mergeGroup(const std::vector<Triangle>& triangles,
                       const std::vector<CornerBounds>& bounds = {},
                       const std::vector<LineKeys>& lines = {});

}  // namespace vorn2shp
