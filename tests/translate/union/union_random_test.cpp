// Random sets of overlapping triangles, in shuffled orders: the union path
// always gives a valid polygon, read back as written, of the union's area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "translate/merge/outline_checks.h"
#include "translate/merge/outline_merge.h"
#include "translate/union/triangle_union.h"
#include "translate/union/union_checks.h"

namespace vorn2shp {
namespace {

using testing::foldedUnionArea;
using testing::isClosed;
using testing::onWrittenValues;
using testing::ringsAsSplit;
using testing::shoelaceArea;
using testing::turnOf;
using testing::validityAsRead;

// Rounding every written point, and the triangles' corners on the grid,
// moves the boundary by at most a unit of the fourth decimal: the area may
// move by that times the boundary's length, and by little more.
double roundingBound(const std::vector<Ring>& rings) {
    double length = 0;
    std::size_t points = 0;
    for (const Ring& ring : rings) {
        points += ring.size();
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            length += std::hypot(ring[i + 1].x - ring[i].x, ring[i + 1].y - ring[i].y);
        }
    }
    return std::sqrt(2.0) * 1e-4 * length + 1e-8 * static_cast<double>(points);
}

double areaOf(const std::vector<Ring>& rings, double turn) {
    double area = 0;
    for (const Ring& ring : rings) {
        area += shoelaceArea(ring) * turn;
    }
    return area;
}

// Three kinds of sets: corners on a coarse grid, so that triangles overlap,
// nest and share sides; corners anywhere in a small square, with crossings
// between the written decimals; and near copies of one triangle, moved by
// less than the written precision.
std::vector<Triangle> randomSet(std::mt19937& random, int kind) {
    std::uniform_int_distribution<int> count(2, 24);
    std::uniform_int_distribution<int> coarse(0, 12);
    std::uniform_real_distribution<double> fine(0.0, 0.01);
    std::uniform_real_distribution<double> nudge(-6e-5, 6e-5);
    const Triangle base{{0.1, 0.2}, {3.7, 0.4}, {1.9, 2.8}};
    std::vector<Triangle> triangles;
    for (int n = count(random); static_cast<int>(triangles.size()) < n;) {
        auto corner = [&](Point near) {
            if (kind == 0) {
                return Point{1.0 * coarse(random), 1.0 * coarse(random)};
            }
            if (kind == 1) {
                return Point{fine(random), fine(random)};
            }
            return Point{near.x + nudge(random), near.y + nudge(random)};
        };
        const Triangle t{corner(base.c12), corner(base.c13), corner(base.c23)};
        if (testing::totalTriangleArea({t}) > 0) {
            triangles.push_back(t);
        }
    }
    return triangles;
}

void expectValidUnion(const std::vector<Triangle>& triangles, const UnionOutline& outline,
                      const std::string& what) {
    EXPECT_EQ(outline.fault, "") << what;
    ASSERT_FALSE(outline.rings.empty()) << what;
    for (const Ring& ring : outline.rings) {
        ASSERT_TRUE(isClosed(ring)) << what;
    }
    const double turn = turnOf(triangles.front());
    EXPECT_GT(shoelaceArea(outline.rings.front()) * turn, 0) << what << ": the first ring is outer";
    EXPECT_EQ(validityAsRead(outline.rings, turn), "Valid Geometry") << what;
    EXPECT_TRUE(onWrittenValues(outline.rings)) << what;
    EXPECT_EQ(ringsAsSplit(outline.rings), outline.rings) << what;
    const double unionArea = foldedUnionArea(triangles);
    EXPECT_NEAR(areaOf(outline.rings, turn), unionArea,
                1e-9 * unionArea + roundingBound(outline.rings))
        << what;
}

TEST(UnionRandom, OverlappingSetsInShuffledOrderGiveValidPolygonsOfTheUnionsArea) {
    std::mt19937 random(4711);
    TriangleUnion unions;
    int unionPath = 0;
    int onGrid = 0;
    int traced = 0;
    for (int round = 0; round < 900; ++round) {
        std::vector<Triangle> triangles = randomSet(random, round % 3);
        const MergeResult merged = mergeGroup(triangles);
        if (merged.edgeToEdge) {
            continue;
        }
        ++unionPath;
        const std::string what = "round " + std::to_string(round);
        const UnionOutline outline = unions.outline(triangles);
        onGrid += outline.onGrid ? 1 : 0;
        expectValidUnion(triangles, outline, what);
        // The route the translator takes: the union the merge traced.
        if (!merged.unionPolygons.empty()) {
            ++traced;
            expectValidUnion(triangles, unions.outline(triangles, merged.unionPolygons),
                             what + ", traced");
        }
        const double area = areaOf(outline.rings, turnOf(triangles.front()));

        std::shuffle(triangles.begin(), triangles.end(), random);
        const UnionOutline shuffled = unions.outline(triangles);
        expectValidUnion(triangles, shuffled, what + ", shuffled");
        // A crossing that falls on a half unit of the fourth decimal may round
        // either way, as the order of its sides makes the last bit.
        EXPECT_NEAR(areaOf(shuffled.rings, turnOf(triangles.front())), area,
                    1e-9 * area + roundingBound(outline.rings))
            << what << ": the same union in any order";
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    EXPECT_GT(unionPath, 600);
    EXPECT_GT(onGrid, 0);
    // Tracing gives up only where crossings will not settle.
    EXPECT_GT(traced, unionPath * 9 / 10);
}

}  // namespace
}  // namespace vorn2shp
