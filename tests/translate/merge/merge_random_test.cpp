// Large and randomly generated tilings: the outline is the tiled polygon's
// boundary, whatever the order of the triangles and of their corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "translate/merge/outline_checks.h"
#include "translate/merge/outline_merge.h"

namespace vorn2shp {
namespace {

using testing::isClosed;
using testing::repeatsACorner;
using testing::sameCycle;
using testing::shoelaceArea;
using testing::sidesCrossOrTouch;
using testing::totalTriangleArea;
using testing::turnOf;

constexpr double kPi = 3.14159265358979323846;

Ring closed(std::vector<Point> corners) {
    corners.push_back(corners.front());
    return corners;
}

// The checks every tiling of one simple polygon must pass.
void expectPolygonOutline(const std::vector<Triangle>& triangles, const Ring& polygon,
                          const std::string& what) {
    const MergeResult result = mergeGroup(triangles);
    EXPECT_TRUE(result.edgeToEdge) << what;
    ASSERT_EQ(result.rings.size(), 1u) << what;
    const Ring& ring = result.rings.front();
    EXPECT_TRUE(isClosed(ring)) << what;
    EXPECT_FALSE(repeatsACorner(ring)) << what;
    EXPECT_TRUE(sameCycle(ring, polygon, true)) << what;
    const double total = totalTriangleArea(triangles);
    EXPECT_NEAR(shoelaceArea(ring) * turnOf(triangles.front()), total, 1e-9 * total) << what;
    EXPECT_FALSE(sidesCrossOrTouch(result.rings)) << what;
    // The seed's first corner that the polygon has, taken 12, 13, 23.
    const Triangle& seed = triangles.front();
    for (const Point corner : {seed.c12, seed.c13, seed.c23}) {
        if (std::find(polygon.begin(), polygon.end(), corner) != polygon.end()) {
            EXPECT_EQ(ring.front(), corner) << what;
            break;
        }
    }
}

TEST(MergeLarge, AStripOfTenThousandTrianglesInShuffledOrder) {
    std::vector<Triangle> strip;
    std::vector<Point> bottom;
    std::vector<Point> top;
    for (int i = 0; i <= 5000; ++i) {
        bottom.push_back(Point{i * 0.5, 0});
        top.push_back(Point{i * 0.5, 1});
    }
    for (std::size_t i = 0; i < 5000; ++i) {
        strip.push_back(Triangle{bottom[i], bottom[i + 1], top[i]});
        strip.push_back(Triangle{bottom[i + 1], top[i + 1], top[i]});
    }
    std::vector<Point> boundary = bottom;
    boundary.insert(boundary.end(), top.rbegin(), top.rend());
    std::shuffle(strip.begin(), strip.end(), std::mt19937(7));
    expectPolygonOutline(strip, closed(boundary), "strip");
}

TEST(MergeLarge, AFineFanOfTenThousandTrianglesAroundAnInnerPoint) {
    const std::size_t n = 10000;
    const Point centre{3, -2};
    std::vector<Point> rim;
    for (std::size_t k = 0; k < n; ++k) {
        const double angle = 2 * kPi * static_cast<double>(k) / n;
        rim.push_back(Point{centre.x + 100 * std::cos(angle), centre.y + 100 * std::sin(angle)});
    }
    std::vector<Triangle> fan;
    for (std::size_t k = 0; k < n; ++k) {
        fan.push_back(Triangle{centre, rim[k], rim[(k + 1) % n]});
    }
    std::shuffle(fan.begin(), fan.end(), std::mt19937(11));
    expectPolygonOutline(fan, closed(rim), "fan");
}

// A star-shaped polygon around `centre`: at least four corners at
// increasing angles, at random distances. No gap between two corners takes
// up half a turn (each gap is at most twice any other), so the fan around
// the centre tiles the polygon.
std::vector<Point> starPolygon(std::mt19937& random, Point centre, std::size_t corners) {
    std::uniform_real_distribution<double> share(0.5, 1.0);
    std::uniform_real_distribution<double> radius(0.5, 40.0);
    std::vector<double> gaps(corners);
    for (double& g : gaps) {
        g = share(random);
    }
    double sum = 0;
    for (const double g : gaps) {
        sum += g;
    }
    std::vector<Point> polygon;
    double angle = 0;
    for (std::size_t i = 0; i < corners; ++i) {
        const double r = radius(random);
        polygon.push_back(Point{centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
        angle += 2 * kPi * gaps[i] / sum;
    }
    return polygon;
}

// The tuple's lines can come in any order, which names the corners 12, 13
// and 23 in any of six ways.
Triangle withCornersRenamed(Point a, Point b, Point c, int naming) {
    switch (naming) {
        case 0:
            return Triangle{a, b, c};
        case 1:
            return Triangle{a, c, b};
        case 2:
            return Triangle{b, a, c};
        case 3:
            return Triangle{b, c, a};
        case 4:
            return Triangle{c, a, b};
        default:
            return Triangle{c, b, a};
    }
}

TEST(MergeRandom, FansOfStarShapedPolygonsGiveThePolygonsBoundary) {
    std::mt19937 random(424242);
    std::uniform_int_distribution<std::size_t> cornerCount(4, 60);
    std::uniform_int_distribution<int> naming(0, 5);
    std::uniform_real_distribution<double> offset(-1000, 1000);
    for (int round = 0; round < 300; ++round) {
        const Point centre{offset(random), offset(random)};
        const std::vector<Point> polygon = starPolygon(random, centre, cornerCount(random));
        std::vector<Triangle> triangles;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            triangles.push_back(withCornersRenamed(
                centre, polygon[i], polygon[(i + 1) % polygon.size()], naming(random)));
        }
        std::shuffle(triangles.begin(), triangles.end(), random);
        expectPolygonOutline(triangles, closed(polygon), "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

// Each tuple computes its own copy of a shared corner, a little off from
// its neighbours' copies: the copies join and the outline stays one ring
// with one point per corner.
TEST(MergeRandom, CornersOffByLessThanTheToleranceStillJoin) {
    std::mt19937 random(77);
    std::uniform_int_distribution<std::size_t> cornerCount(4, 40);
    std::uniform_real_distribution<double> jitter(-2e-5, 2e-5);
    auto off = [&](Point p) { return Point{p.x + jitter(random), p.y + jitter(random)}; };
    for (int round = 0; round < 200; ++round) {
        const Point centre{0, 0};
        const std::vector<Point> polygon = starPolygon(random, centre, cornerCount(random));
        std::vector<Triangle> triangles;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            triangles.push_back(
                Triangle{off(centre), off(polygon[i]), off(polygon[(i + 1) % polygon.size()])});
        }
        std::shuffle(triangles.begin(), triangles.end(), random);
        const MergeResult result = mergeGroup(triangles);
        const std::string what = "round " + std::to_string(round);
        EXPECT_TRUE(result.edgeToEdge) << what;
        ASSERT_EQ(result.rings.size(), 1u) << what;
        EXPECT_EQ(result.rings.front().size(), polygon.size() + 1) << what;
        EXPECT_FALSE(sidesCrossOrTouch(result.rings)) << what;
        const double total = totalTriangleArea(triangles);
        EXPECT_NEAR(shoelaceArea(result.rings.front()) * turnOf(triangles.front()), total,
                    1e-3 * total)
            << what;
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

// Triangles thrown at random onto a small grid overlap, share corners, and
// put corners on each other's sides. The merge never fails on them, and
// whenever it calls them edge to edge, their outline is sound.
TEST(MergeRandom, ArbitraryTrianglesGiveClosedRingsAndAnHonestTilingFlag) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> coordinate(0, 4);
    std::uniform_int_distribution<std::size_t> count(1, 8);
    int claimedTilings = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<Triangle> triangles;
        for (std::size_t n = count(random); triangles.size() < n;) {
            auto corner = [&] { return Point{1.0 * coordinate(random), 1.0 * coordinate(random)}; };
            const Triangle t{corner(), corner(), corner()};
            if (testing::totalTriangleArea({t}) > 0) {
                triangles.push_back(t);
            }
        }
        const MergeResult result = mergeGroup(triangles);
        const std::string what = "round " + std::to_string(round);
        ASSERT_FALSE(result.rings.empty()) << what;
        for (const Ring& ring : result.rings) {
            ASSERT_TRUE(isClosed(ring)) << what;
            EXPECT_FALSE(repeatsACorner(ring)) << what;
        }
        if (result.edgeToEdge) {
            ++claimedTilings;
            double area = 0;
            for (const Ring& ring : result.rings) {
                area += shoelaceArea(ring) * turnOf(triangles.front());
            }
            EXPECT_NEAR(area, totalTriangleArea(triangles), 1e-9) << what;
            EXPECT_FALSE(sidesCrossOrTouch(result.rings)) << what;
        }
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    EXPECT_GT(claimedTilings, 300);
}

}  // namespace
}  // namespace vorn2shp
