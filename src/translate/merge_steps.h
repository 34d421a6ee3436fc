// The steps of the outline merge, each over the data the one before left.
// Only outline_merge.cpp and the tests of its steps use this header.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "translate/geometry.h"

namespace vorn2shp::merge {

using VertexId = std::uint32_t;

// The largest distance, per axis, at which two corners near `p` are one corner.
double toleranceNear(double magnitude);

// The group's corners joined into vertices. Vertices are numbered in the
// order the triangles meet them (corners 12, 13, 23 of each in turn), and a
// vertex keeps the exact coordinates of the first corner that made it.
struct SnappedCorners {
    std::vector<Point> vertices;
    std::vector<std::array<VertexId, 3>> corners;  // per triangle: 12, 13, 23
};

SnappedCorners snapCorners(const std::vector<Triangle>& triangles);

// A triangle side, directed so that every triangle turns like the seed.
struct Side {
    VertexId from;
    VertexId to;
    std::uint32_t triangle;
};

// Joins triangles into the parts of a group: triangles with a common side.
class UnionFind {
public:
    explicit UnionFind(std::size_t count);
    std::uint32_t find(std::uint32_t item);
    void unite(std::uint32_t a, std::uint32_t b);

private:
    std::vector<std::uint32_t> parent_;
};

// What the boundary steps found that an edge-to-edge tiling never has.
struct TilingFaults {
    std::size_t droppedTriangles = 0;  // no area left once corners are joined
    bool overlap = false;              // a side covered twice from one side
    bool cornerOnSide = false;         // a corner inside another side
    bool openChain = false;            // the boundary did not close into rings
};

// The sides of the group's usable triangles, each triangle turned like the
// seed. `seed` is the first triangle with an area, or -1 when there is none.
struct OrientedSides {
    std::vector<Side> sides;
    long seed = -1;
    double turn = 1.0;  // +1 when the seed runs counter-clockwise, else -1
};

OrientedSides orientSides(const SnappedCorners& snapped, TilingFaults& faults);

// Cancels each side against the sides that run the other way between the
// same two vertices and joins their triangles into one part. What is left
// is the boundary of the union.
std::vector<Side> boundarySides(const std::vector<Side>& sides, std::size_t vertexCount,
                                UnionFind& parts, TilingFaults& faults);

// Where `p` lies along the inside of the side from a to b, as a fraction of
// its length, when it is within the corner tolerance of that side and is
// neither of its ends; a negative value otherwise.
double positionOnSide(Point p, Point a, Point b);

// Splits every boundary side at the boundary vertices that lie on it, so a
// corner that meets another triangle in the middle of its side still
// closes the outline there. True when any side was split.
bool splitSidesAtCorners(std::vector<Side>& sides, const std::vector<Point>& vertices);

// A closed walk along the boundary, as vertex ids without the closing repeat.
struct TracedRing {
    std::vector<VertexId> vertices;
    std::vector<std::uint32_t> triangles;  // the triangle of the side leaving each vertex
};

// Links the boundary sides into rings that never visit a vertex twice. At a
// vertex where several parts meet, the next side is the one that keeps the
// ring around the sector it came in by, so rings touch there without crossing.
std::vector<TracedRing> traceRings(const std::vector<Side>& sides,
                                   const std::vector<Point>& vertices, double turn,
                                   TilingFaults& faults);

// What the rings show of triangles that do not meet edge to edge.
struct RingContacts {
    bool cornerOnSide = false;  // a ring's vertex lies on a side it does not end
    bool overlap = false;       // rings cross, or nest as only overlaps make them
};

RingContacts inspectRings(const std::vector<TracedRing>& rings, const std::vector<Point>& vertices,
                          double turn);

}  // namespace vorn2shp::merge
