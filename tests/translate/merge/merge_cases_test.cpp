// The merge cases of merge_cases.txt: exact rings, the flags, and the
// invariants every tiling's outline must keep, in the file's order and in
// every order of the triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "translate/merge/outline_checks.h"
#include "translate/merge/outline_merge.h"

namespace vorn2shp {
namespace {

using testing::cornerAt;
using testing::describe;
using testing::firstMeeting;
using testing::inOrder;
using testing::isClosed;
using testing::ordersOf;
using testing::repeatsACorner;
using testing::sameCycle;
using testing::shoelaceArea;
using testing::sidesCrossOrTouch;
using testing::totalTriangleArea;
using testing::turnOf;

struct MergeCase {
    std::string caption;
    std::vector<Triangle> triangles;
    std::vector<Ring> rings;
    bool tiling = true;
    std::size_t dropped = 0;
    double areaWithin = 0;
    bool everyOrder = false;
};

Point readPoint(std::istringstream& in) {
    Point p;
    in >> p.x >> p.y;
    return p;
}

std::vector<MergeCase> loadCases() {
    std::vector<MergeCase> cases;
    const auto onLine = [&cases](const std::string& word, std::istringstream& values) {
        if (word == "case") {
            cases.emplace_back();
            std::getline(values >> std::ws, cases.back().caption);
        } else if (word == "tri") {
            const Point a = readPoint(values);
            const Point b = readPoint(values);
            const Point c = readPoint(values);
            cases.back().triangles.push_back(Triangle{a, b, c});
        } else if (word == "ring") {
            cases.back().rings.push_back(testing::readRing(values));
        } else if (word == "tiling") {
            cases.back().tiling = values.str().find("yes") != std::string::npos;
        } else if (word == "dropped") {
            values >> cases.back().dropped;
        } else if (word == "area-within") {
            values >> cases.back().areaWithin;
        } else if (word == "orders") {
            cases.back().everyOrder = true;
        } else if (word != "end") {
            ADD_FAILURE() << "unknown line in merge_cases.txt: " << values.str();
        }
    };
    testing::readCaseLines(testing::sourceDir() + "/tests/translate/merge/merge_cases.txt", onLine);
    return cases;
}

bool passes(const Ring& ring, Point p) {
    return std::find(ring.begin(), ring.end(), p) != ring.end();
}

// The seed's corner 12 when the ring passes it, else 13, else 23, else
// the first corner of the ring that the triangles meet.
Point expectedStartOfFirstRing(const std::vector<Triangle>& triangles, const Ring& first) {
    const Triangle& seed = triangles.front();
    for (const Point corner : {seed.c12, seed.c13, seed.c23}) {
        if (passes(first, corner)) {
            return corner;
        }
    }
    return cornerAt(triangles, firstMeeting(triangles, first));
}

// The invariants of a tiling's outline, checked without the merge's code.
void expectSoundOutline(const std::vector<Triangle>& triangles, const MergeResult& result,
                        double areaWithin, const std::string& what) {
    ASSERT_FALSE(result.rings.empty()) << what;
    const double seedTurn = turnOf(triangles.front());
    double area = 0;
    for (const Ring& ring : result.rings) {
        EXPECT_TRUE(isClosed(ring)) << what;
        EXPECT_FALSE(repeatsACorner(ring)) << what;
        area += shoelaceArea(ring) * seedTurn;
    }
    const double total = totalTriangleArea(triangles);
    EXPECT_NEAR(area, total, std::max(areaWithin, 1e-9 * total)) << what;
    EXPECT_FALSE(sidesCrossOrTouch(result.rings)) << what;

    const Ring& first = result.rings.front();
    EXPECT_GT(shoelaceArea(first) * seedTurn, 0) << what << ": the first ring turns like the seed";
    const Point start = expectedStartOfFirstRing(triangles, first);
    EXPECT_TRUE(first.front() == start) << what << ": start of the first ring";

    std::size_t previous = 0;
    for (std::size_t r = 1; r < result.rings.size(); ++r) {
        const Ring& ring = result.rings[r];
        const std::size_t meet = firstMeeting(triangles, ring);
        EXPECT_TRUE(ring.front() == cornerAt(triangles, meet))
            << what << ": ring " << r << " starts where first met";
        EXPECT_LE(previous, meet) << what << ": rings in the order first met";
        previous = meet;
    }
}

TEST(MergeCases, GiveTheirRingsFlagsAndSoundOutlines) {
    const std::vector<MergeCase> cases = loadCases();
    ASSERT_GE(cases.size(), 20u);
    for (const MergeCase& c : cases) {
        const MergeResult result = mergeGroup(c.triangles);
        EXPECT_EQ(result.edgeToEdge, c.tiling) << c.caption;
        EXPECT_EQ(result.droppedTriangles, c.dropped) << c.caption;
        if (!c.rings.empty()) {
            EXPECT_EQ(result.rings, c.rings) << c.caption << describe(result.rings);
        }
        if (c.tiling) {
            expectSoundOutline(c.triangles, result, c.areaWithin, c.caption);
        }
        for (const Ring& ring : result.rings) {
            for (const Point& p : ring) {
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << c.caption;
            }
        }
    }
}

void expectSameRings(const MergeCase& c, const std::vector<Triangle>& triangles,
                     const MergeResult& result, const std::string& what) {
    ASSERT_EQ(result.rings.size(), c.rings.size()) << what << describe(result.rings);
    const double fileTurn = turnOf(c.triangles.front());
    const double turn = turnOf(triangles.front());
    for (const Ring& ring : result.rings) {
        const auto match = std::find_if(c.rings.begin(), c.rings.end(),
                                        [&](const Ring& e) { return sameCycle(ring, e, true); });
        ASSERT_NE(match, c.rings.end()) << what << describe(result.rings);
        EXPECT_EQ(shoelaceArea(ring) * turn > 0, shoelaceArea(*match) * fileTurn > 0)
            << what << ": outer rings turn like the seed, holes the other way";
    }
}

TEST(MergeCases, EveryOrderOfTheTrianglesGivesTheSameRings) {
    for (const MergeCase& c : loadCases()) {
        if (!c.everyOrder) {
            continue;
        }
        // Every order of the triangles, or a fixed sample of orders for the
        // larger cases: the same rings, each turning as the seed says.
        for (const std::vector<std::size_t>& order :
             ordersOf(c.triangles.size(), 6, 1500, 20240611)) {
            std::string what = c.caption + ", order";
            const std::vector<Triangle> triangles = inOrder(c.triangles, order, what);
            const MergeResult result = mergeGroup(triangles);
            EXPECT_TRUE(result.edgeToEdge) << what;
            expectSameRings(c, triangles, result, what);
            expectSoundOutline(triangles, result, 0, what);
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
}

}  // namespace
}  // namespace vorn2shp
