// The steps of the outline merge, each over the data the one before left,
// and of the union of triangles that overlap: the files of the merge and of
// that union use this header, nothing outside the translation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp::merge {

using VertexId = std::uint32_t;

// The largest distance, per axis, at which two corners of that magnitude,
// both computed to a few units in their last place, are one corner.
double toleranceNear(double magnitude);

// The group's corners joined into vertices: corners that agree within the
// tolerance plus the slack of their computation are one vertex. Vertices
// are numbered in the order the triangles meet them (corners 12, 13, 23 of
// each in turn), and a vertex keeps the exact coordinates of the first
// corner that made it, unless that corner was computed
// so loosely that four decimals could show it: then of its closest copy.
struct SnappedCorners {
    std::vector<Point> vertices;
    std::vector<std::array<VertexId, 3>> corners;  // per triangle: 12, 13, 23
    // Per triangle, when not empty: left out, as joining corners turned it
    // over or took its area.
    std::vector<char> leftOut;
    // Per triangle, when not empty: turned the other way round than its
    // corners lie, as a triangle too flat for its written numbers to tell
    // which way it turns, whose neighbours say it.
    std::vector<char> turnedOver;
};

// `bounds` holds one entry per triangle, or none for corners computed to a
// few units in their last place.
SnappedCorners snapCorners(const std::vector<Triangle>& triangles,
                           const std::vector<CornerBounds>& bounds);

// A triangle side, directed so that every triangle turns like the seed.
// Once matched sides have cancelled, `count` says how many more triangles
// lie on its inner side than on its outer one.
struct Side {
    VertexId from;
    VertexId to;
    std::uint32_t triangle;
    std::uint32_t count = 1;
};

// The corner tolerance at the size of the largest coordinate of the sides'
// ends, or of the segments' ends.
double toleranceForSides(const std::vector<Side>& sides, const std::vector<Point>& vertices);
double toleranceForSegments(const std::vector<Segment>& segments);

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

// The joining of the copies of one object's corners that lines written to
// a few decimals put apart, round after round, each round over the
// boundary as the one before left it. The size of each triangle, which its
// corners' bounds are fractions of, is found once for the object.
class WrittenCopies {
public:
    // The triangles, bounds and lines must outlive it.
    WrittenCopies(const std::vector<Triangle>& triangles, const std::vector<CornerBounds>& bounds,
                  const std::vector<LineKeys>& lines);

    // Joins the vertices that are copies of one corner: where a side of the
    // boundary and a side of another triangle running back along it have
    // ends that the bounds of the written numbers allow to be the same,
    // those ends become one vertex. Never two corners of one triangle, and
    // never two vertices whose copies from different lines agree to their
    // computed slack. A joined vertex takes the place of its copy known
    // most closely, as every vertex does whose copies disagree. True when
    // any vertices were joined or moved; `snapped` then maps the triangles'
    // corners to the joined vertices.
    //
    // With `mendSlivers`, the sides of a triangle too flat for the bounds of
    // its corners to tell which way round it turns pair either way, as the
    // rounding may have put its corners in the other order, each end with
    // the copy its bounds fit best: such a pair joins only a group holding a
    // corner of a triangle that is not flat, whose vertex known most closely
    // the bounds let it join.
    bool joinRound(SnappedCorners& snapped, const std::vector<Side>& boundary, bool mendSlivers);

    // Leaves out the triangles of the boundary (two or three of their sides
    // on it, meeting others at a corner at least) that are flat within the
    // bounds of their corners, none of which is where lines meet exactly:
    // such an ear of nearly straight corners, written to a few decimals, may
    // have its corners anywhere along its sides, and covers no area that the
    // written numbers can tell from none, so it is left out without a word;
    // its sides on the boundary give way to the side it shared. True when
    // any was.
    bool leaveOutFlatEars(SnappedCorners& snapped, const std::vector<Side>& boundary);

    // Turns over each triangle too flat for the bounds of its corners to
    // tell which way round it turns, whose sides (`sides`, every side of
    // every triangle, oriented) run along those of its neighbours the same
    // way and never back: the rounding put its corners in the other order.
    // True when any was.
    bool turnOverFlat(SnappedCorners& snapped, const std::vector<Side>& sides);

private:
    const std::vector<Triangle>& triangles_;
    const std::vector<CornerBounds>& bounds_;
    const std::vector<LineKeys>& lines_;
    std::vector<double> sizes_;  // of each triangle, which its corners' bounds are fractions of
    // Per triangle: its area within what its corners' bounds allow to be none.
    std::vector<char> flat_;
};

// The sides that do not cancel, each once with the count of triangles
// over it: the boundary of the union, weighted by how often it is covered.
std::vector<Side> netSides(const std::vector<Side>& sides, std::size_t vertexCount);

// Where `p` lies along the inside of the side from a to b, as a fraction of
// its length, when it is within the corner tolerance of that side and is
// neither of its ends; a negative value otherwise.
double positionOnSide(Point p, Point a, Point b);

// A vertex to split a side at, and how far along the side it lies.
struct Cut {
    std::uint32_t side;
    VertexId vertex;
    double along;
};

// Where sides meet other than end to end: the ends of sides that lie
// inside another side (within the corner tolerance), and the pairs of
// sides that cross, where no end of either lies on the other. Each once,
// in order of side (and of the place along it).
struct SideContacts {
    std::vector<Cut> corners;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> crossings;
    double tolerance = 0.0;  // how near counts as on a side, for these sides
};

// False when the sides crowd so close together that looking at their
// pairs would cost more than `budget` steps; `found` is then incomplete.
// Also false, with `found` incomplete, once more than `mostCrossings`
// crossings are found.
bool findContacts(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                  std::size_t budget, SideContacts& found, std::size_t mostCrossings = SIZE_MAX);

// The vertices where sides with these contacts are split (see splitAtCuts),
// with the ends of the sides that cross: every side that had a contact ends
// at one of them once split. Marked in a list by vertex id.
std::vector<char> contactVertices(const SideContacts& found, const std::vector<Side>& sides,
                                  std::size_t vertexCount);

// findContacts for sides just split at the `touched` vertices, `found`
// holding every contact from before the split: a side that ends at no
// touched vertex had none then, and meets another such side no more now,
// so only the sides near one that does are looked at. The same result, at
// the cost of the split's neighbourhood rather than of every side.
bool findContactsAfterSplit(const std::vector<Side>& sides, const std::vector<Point>& vertices,
                            const std::vector<char>& touched, std::size_t budget,
                            SideContacts& found);

// Splits each side at its cuts, in order along it: so a corner that meets
// another triangle in the middle of its side still closes the outline
// there. `cuts` must be in order of side and of place along it.
std::vector<Side> splitAtCuts(const std::vector<Side>& sides, const std::vector<Cut>& cuts);

// The boundary of the union of triangles that overlap, from their net
// sides (see netSides) and the contacts among them: the sides are split
// where they cross or where a vertex lies on them, and the pieces that
// part covered ground from uncovered ground are linked into rings and
// grouped into polygons. Empty when the pieces do not close into rings,
// or when the sides would cost far more than their number to sort out.
std::vector<PolygonRings> unionOfSides(std::vector<Side> sides, std::vector<Point> vertices,
                                       SideContacts contacts, double turn);

// A closed walk along the boundary, as vertex ids without the closing repeat.
struct TracedRing {
    std::vector<VertexId> vertices;
    std::vector<std::uint32_t> triangles;  // the triangle of the side leaving each vertex
};

// The signed area of a ring, positive when it runs counter-clockwise.
double ringArea(const TracedRing& ring, const std::vector<Point>& vertices);

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

// From the contacts among the rings' sides, and the rings' nesting.
RingContacts inspectRings(const std::vector<TracedRing>& rings, const SideContacts& contacts,
                          const std::vector<Point>& vertices, double turn);

}  // namespace vorn2shp::merge
