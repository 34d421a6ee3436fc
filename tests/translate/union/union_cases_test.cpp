// The union cases of union_cases.txt, in the file's order and in other
// orders of the triangles: each takes the union path, and its rings are a
// valid polygon of the union's area, written as the export reads them back.
// Both routes to the union are run: the one the translator takes, traced by
// the merge from the triangles' sides, and GEOS's union of the triangles,
// which is what is left when the tracing gives up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "translate/merge/outline_checks.h"
#include "translate/merge/outline_merge.h"
#include "translate/union/triangle_union.h"
#include "translate/union/union_checks.h"

namespace vorn2shp {
namespace {

using testing::cornerAt;
using testing::describe;
using testing::firstMeeting;
using testing::foldedUnionArea;
using testing::inOrder;
using testing::isClosed;
using testing::onWrittenValues;
using testing::ordersOf;
using testing::ringsAsSplit;
using testing::shoelaceArea;
using testing::turnOf;
using testing::validityAsRead;

struct UnionCase {
    std::string caption;
    std::vector<Triangle> triangles;
    std::size_t outer = 0;
    std::size_t holes = 0;
    bool grid = false;
    bool tracedGrid = false;
    double areaWithin = -1;  // absolute; below 0: 1e-9 of the area
    Ring firstRing;
};

std::vector<UnionCase> loadCases() {
    std::vector<UnionCase> cases;
    const auto onLine = [&cases](const std::string& word, std::istringstream& values) {
        UnionCase* c = cases.empty() ? nullptr : &cases.back();
        if (word == "case") {
            cases.emplace_back();
            std::getline(values >> std::ws, cases.back().caption);
        } else if (word == "tri") {
            Triangle t;
            values >> t.c12.x >> t.c12.y >> t.c13.x >> t.c13.y >> t.c23.x >> t.c23.y;
            c->triangles.push_back(t);
        } else if (word == "outer") {
            values >> c->outer;
        } else if (word == "holes") {
            values >> c->holes;
        } else if (word == "grid") {
            c->grid = values.str().find("yes") != std::string::npos;
            c->tracedGrid = c->grid;
        } else if (word == "traced-grid") {
            c->tracedGrid = values.str().find("yes") != std::string::npos;
        } else if (word == "area-within") {
            values >> c->areaWithin;
        } else if (word == "ring") {
            c->firstRing = testing::readRing(values);
        } else if (word != "end") {
            ADD_FAILURE() << "unknown line in union_cases.txt: " << values.str();
        }
    };
    testing::readCaseLines(testing::sourceDir() + "/tests/translate/union/union_cases.txt", onLine);
    return cases;
}

Point written(Point p) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f %.4f", p.x, -p.y);
    std::istringstream in(text);
    in >> p.x >> p.y;
    return Point{p.x, -p.y};
}

// The seed's corner 12, 13 or 23 when the ring passes it, else the ring's
// corner that the triangles meet first; corners as written.
Point expectedStart(std::vector<Triangle> triangles, const Ring& first) {
    for (Triangle& t : triangles) {
        t = Triangle{written(t.c12), written(t.c13), written(t.c23)};
    }
    const Triangle& seed = triangles.front();
    for (const Point corner : {seed.c12, seed.c13, seed.c23}) {
        if (std::find(first.begin(), first.end(), corner) != first.end()) {
            return corner;
        }
    }
    return cornerAt(triangles, firstMeeting(triangles, first));
}

// The union as the translator takes it: traced by the merge, where it can.
UnionOutline tracedUnion(TriangleUnion& unions, const std::vector<Triangle>& triangles) {
    const MergeResult merged = mergeGroup(triangles);
    EXPECT_FALSE(merged.edgeToEdge) << "takes the union path";
    EXPECT_FALSE(merged.unionPolygons.empty()) << "the merge traced the union";
    return unions.outline(triangles, merged.unionPolygons);
}

void expectSoundUnion(const UnionCase& c, const std::vector<Triangle>& triangles,
                      const UnionOutline& outline, bool traced, const std::string& what) {
    EXPECT_EQ(outline.fault, "") << what;
    EXPECT_EQ(outline.onGrid, traced ? c.tracedGrid : c.grid) << what;
    ASSERT_FALSE(outline.rings.empty()) << what;
    const double turn = turnOf(triangles.front());
    std::size_t outer = 0;
    double area = 0;
    for (const Ring& ring : outline.rings) {
        EXPECT_TRUE(isClosed(ring)) << what << describe(outline.rings);
        outer += shoelaceArea(ring) * turn > 0 ? 1 : 0;
        area += shoelaceArea(ring) * turn;
    }
    EXPECT_EQ(outer, c.outer) << what << describe(outline.rings);
    EXPECT_EQ(outline.rings.size() - outer, c.holes) << what << describe(outline.rings);
    EXPECT_GT(shoelaceArea(outline.rings.front()) * turn, 0) << what << ": the first ring is outer";
    EXPECT_TRUE(outline.rings.front().front() == expectedStart(triangles, outline.rings.front()))
        << what << ": start of the first ring" << describe(outline.rings);
    EXPECT_EQ(validityAsRead(outline.rings, turn), "Valid Geometry")
        << what << describe(outline.rings);
    const double unionArea = foldedUnionArea(triangles);
    EXPECT_NEAR(area, unionArea, c.areaWithin >= 0 ? c.areaWithin : 1e-9 * unionArea) << what;
    EXPECT_TRUE(onWrittenValues(outline.rings)) << what;
    EXPECT_EQ(ringsAsSplit(outline.rings), outline.rings) << what << ": split back as written";
}

TEST(UnionCases, AreValidPolygonsOfTheUnionsAreaInEveryOrder) {
    const std::vector<UnionCase> cases = loadCases();
    ASSERT_GE(cases.size(), 12u);
    TriangleUnion unions;
    for (const UnionCase& c : cases) {
        for (const UnionOutline& inFileOrder :
             {unions.outline(c.triangles), tracedUnion(unions, c.triangles)}) {
            if (!c.firstRing.empty() && !inFileOrder.rings.empty()) {
                EXPECT_EQ(inFileOrder.rings.front(), c.firstRing)
                    << c.caption << describe(inFileOrder.rings);
            }
        }
        // Every order up to five triangles, else a fixed sample.
        for (const std::vector<std::size_t>& order :
             ordersOf(c.triangles.size(), 5, 120, 20240612)) {
            std::string what = c.caption + ", order";
            const std::vector<Triangle> triangles = inOrder(c.triangles, order, what);
            expectSoundUnion(c, triangles, unions.outline(triangles), false, what + " (GEOS)");
            expectSoundUnion(c, triangles, tracedUnion(unions, triangles), true,
                             what + " (traced)");
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
}

// A union of thousands of points is ordered on a thread of its own while
// GEOS checks it: the rings must come as a small union's do. Islands of two
// overlapping triangles each, side by side: each island is a ring of seven
// points, met first at its first triangle's corner 12.
TEST(UnionCases, ALargeUnionComesInTheOrderOfASmallOne) {
    constexpr int kIslands = 700;
    std::vector<Triangle> triangles;
    for (int i = 0; i < kIslands; ++i) {
        const double x = 1.5 * i;
        triangles.push_back(Triangle{{x, 0.0}, {x + 0.5, 0.0}, {x, 0.5}});
        triangles.push_back(Triangle{{x + 0.1, 0.1}, {x + 0.6, 0.1}, {x + 0.1, 0.6}});
    }
    TriangleUnion unions;
    const UnionOutline outline = tracedUnion(unions, triangles);
    EXPECT_EQ(outline.fault, "");
    EXPECT_FALSE(outline.onGrid);
    ASSERT_EQ(outline.rings.size(), static_cast<std::size_t>(kIslands));
    for (int i = 0; i < kIslands; ++i) {
        const Ring& ring = outline.rings[static_cast<std::size_t>(i)];
        const std::string what = "island " + std::to_string(i) + describe({ring});
        EXPECT_EQ(ring.size(), 8u) << what;
        EXPECT_TRUE(isClosed(ring)) << what;
        EXPECT_TRUE(ring.front() == written(Point{1.5 * i, 0.0})) << what;
        EXPECT_NEAR(shoelaceArea(ring), 0.205, 1e-9) << what;
    }
    EXPECT_EQ(validityAsRead(outline.rings, 1.0), "Valid Geometry");
}

}  // namespace
}  // namespace vorn2shp
