// Independent checks of merged outlines for the tests: plain geometry,
// written without the merge's own code.
#pragma once

#include <cstddef>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "translate/geometry/geometry.h"

namespace vorn2shp::testing {

// Shoelace area; positive for counter-clockwise rings.
double shoelaceArea(const Ring& ring);
// Sum of the triangles' areas, all taken positive.
double totalTriangleArea(const std::vector<Triangle>& triangles);
// +1 when the triangle's corners 12 -> 13 -> 23 turn counter-clockwise.
double turnOf(const Triangle& t);

bool isClosed(const Ring& ring);
// True when a corner other than the closing one comes twice.
bool repeatsACorner(const Ring& ring);

// True when two sides of the rings cross or touch, apart from sides that
// merely share an end point. Sweeps in x, so long rings stay cheap.
bool sidesCrossOrTouch(const std::vector<Ring>& rings);

// True when the two closed rings are the same cycle of points, from any
// start; `eitherWay` also accepts the reverse direction.
bool sameCycle(const Ring& a, const Ring& b, bool eitherWay);

// Where the triangles first meet a point of `ring`, counting corners
// 12, 13, 23 of each triangle in turn; SIZE_MAX when they never do.
std::size_t firstMeeting(const std::vector<Triangle>& triangles, const Ring& ring);

// Corner k % 3 (12, 13, 23) of triangle k / 3.
Point cornerAt(const std::vector<Triangle>& triangles, std::size_t k);

// Orders of `count` items: all of them up to `allUpTo` items, else
// `samples` shuffles drawn with `seed`.
std::vector<std::vector<std::size_t>> ordersOf(std::size_t count, std::size_t allUpTo, int samples,
                                               unsigned seed);

// The triangles in `order`, each index also added to `what` (" 2 0 1").
std::vector<Triangle> inOrder(const std::vector<Triangle>& triangles,
                              const std::vector<std::size_t>& order, std::string& what);

// Calls `onLine` for every line of a file of case blocks with the line's
// first word and a stream on the rest; "#" starts a comment, blank lines
// are skipped.
void readCaseLines(
    const std::string& path,
    const std::function<void(const std::string& word, std::istringstream& rest)>& onLine);

// "x y, x y, ...": the points of a ring as a case file gives them.
Ring readRing(std::istringstream& text);

// The rings' points, one ring a line, for failure messages.
std::string describe(const std::vector<Ring>& rings);

}  // namespace vorn2shp::testing
