// The merge cases of merge_cases.txt: exact rings, the flags, and the
// invariants every tiling's outline must keep, in the file's order and in
// every order of the triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "outline_checks.h"
#include "support/test_support.h"
#include "translate/outline_merge.h"

namespace vorn2shp {
namespace {

using testing::firstMeeting;
using testing::isClosed;
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

Ring readRing(const std::string& text) {
    Ring ring;
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        std::istringstream in(item);
        ring.push_back(readPoint(in));
    }
    return ring;
}

std::vector<MergeCase> loadCases() {
    const std::string text =
        testing::readFile(testing::sourceDir() + "/tests/translate/merge_cases.txt");
    std::vector<MergeCase> cases;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream in(line);
        std::string word;
        if (!(in >> word)) {
            continue;
        }
        std::string rest;
        std::getline(in, rest);
        std::istringstream values(rest);
        if (word == "case") {
            cases.emplace_back();
            cases.back().caption = rest.substr(rest.find_first_not_of(' '));
        } else if (word == "tri") {
            const Point a = readPoint(values);
            const Point b = readPoint(values);
            const Point c = readPoint(values);
            cases.back().triangles.push_back(Triangle{a, b, c});
        } else if (word == "ring") {
            cases.back().rings.push_back(readRing(rest));
        } else if (word == "tiling") {
            cases.back().tiling = rest.find("yes") != std::string::npos;
        } else if (word == "dropped") {
            values >> cases.back().dropped;
        } else if (word == "area-within") {
            values >> cases.back().areaWithin;
        } else if (word == "orders") {
            cases.back().everyOrder = true;
        } else if (word != "end") {
            ADD_FAILURE() << "unknown line in merge_cases.txt: " << line;
        }
    }
    return cases;
}

// Corner k % 3 (12, 13, 23) of triangle k / 3.
Point cornerAt(const std::vector<Triangle>& triangles, std::size_t k) {
    const Triangle& t = triangles.at(k / 3);
    return k % 3 == 0 ? t.c12 : (k % 3 == 1 ? t.c13 : t.c23);
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

std::string describe(const std::vector<Ring>& rings) {
    std::ostringstream out;
    for (const Ring& ring : rings) {
        out << "\n  ring";
        for (const Point& p : ring) {
            out << " (" << p.x << "," << p.y << ")";
        }
    }
    return out.str();
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

// Every order of the triangles, or a fixed sample of orders for the larger
// cases: the same rings, each turning as the seed says.
std::vector<std::vector<std::size_t>> ordersOf(std::size_t count) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::vector<std::size_t>> orders;
    if (count <= 6) {
        do {
            orders.push_back(order);
        } while (std::next_permutation(order.begin(), order.end()));
        return orders;
    }
    std::mt19937 random(20240611);
    for (int i = 0; i < 1500; ++i) {
        std::shuffle(order.begin(), order.end(), random);
        orders.push_back(order);
    }
    return orders;
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
        for (const std::vector<std::size_t>& order : ordersOf(c.triangles.size())) {
            std::vector<Triangle> triangles;
            std::string what = c.caption + ", order";
            for (const std::size_t i : order) {
                triangles.push_back(c.triangles[i]);
                what += " " + std::to_string(i);
            }
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
