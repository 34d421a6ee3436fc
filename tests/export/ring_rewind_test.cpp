// The export turns rings with its own rewindRings, which must decide every
// ring as shapelib's SHPRewindObject does, bit for bit: the shapefiles
// written stay the same. Each case is rewound both ways and compared.
#include "export/ring_rewind.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace vorn2shp::testing {
namespace {

using ShapePtr = std::unique_ptr<SHPObject, decltype(&SHPDestroyObject)>;
using Ring = std::vector<std::pair<double, double>>;

ShapePtr makeShape(int type, const std::vector<Ring>& rings, bool withZ) {
    std::vector<int> starts;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> z;
    for (const Ring& ring : rings) {
        starts.push_back(static_cast<int>(x.size()));
        for (const auto& [px, py] : ring) {
            x.push_back(px);
            y.push_back(py);
            z.push_back(static_cast<double>(z.size()));
        }
    }
    return ShapePtr(SHPCreateObject(type, -1, static_cast<int>(starts.size()), starts.data(),
                                    nullptr, static_cast<int>(x.size()), x.data(), y.data(),
                                    withZ ? z.data() : nullptr, nullptr),
                    &SHPDestroyObject);
}

bool sameBits(const double* a, const double* b, int count) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return std::memcmp(a, b, sizeof(double) * static_cast<std::size_t>(count)) == 0;
}

void expectSameRewind(int type, const std::vector<Ring>& rings, bool withZ = false) {
    const ShapePtr ours = makeShape(type, rings, withZ);
    const ShapePtr theirs = makeShape(type, rings, withZ);
    ASSERT_TRUE(ours && theirs);
    EXPECT_EQ(rewindRings(*ours), SHPRewindObject(nullptr, theirs.get()));
    EXPECT_TRUE(sameBits(ours->padfX, theirs->padfX, ours->nVertices));
    EXPECT_TRUE(sameBits(ours->padfY, theirs->padfY, ours->nVertices));
    EXPECT_TRUE(sameBits(ours->padfZ, theirs->padfZ, ours->nVertices));
    EXPECT_TRUE(sameBits(ours->padfM, theirs->padfM, ours->nVertices));
}

Ring square(double x, double y, double side, bool counterClockwise) {
    Ring ring{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
    if (!counterClockwise) {
        std::reverse(ring.begin(), ring.end());
    }
    return ring;
}

struct RewindCase {
    const char* caption;
    std::vector<Ring> rings;
};

const RewindCase kCases[] = {
    {"one ring counter-clockwise", {square(0, 0, 4, true)}},
    {"one ring clockwise", {square(0, 0, 4, false)}},
    {"a hole turning like its outer ring", {square(0, 0, 9, true), square(3, 3, 2, true)}},
    {"a hole given before its outer ring", {square(3, 3, 2, false), square(0, 0, 9, true)}},
    {"an island in a lake in an island",
     {square(0, 0, 20, true), square(4, 4, 12, true), square(8, 8, 4, true)}},
    {"islands side by side, either way round",
     {square(0, 0, 2, true), square(3, 0, 2, false), square(6, 0, 2, true)}},
    {"rings touching at a corner", {square(0, 0, 2, true), square(2, 2, 2, true)}},
    {"a hole touching its outer ring at a corner",
     {square(0, 0, 8, false), square(0, 0, 2, false)}},
    // The middle of the small ring's first edge lies at the height of the
    // large ring's corners and on its level edge.
    {"a ray along a level edge and through corners",
     {{{0, 0}, {10, 0}, {10, 2}, {6, 2}, {6, 4}, {0, 4}, {0, 0}},
      {{2, 1}, {2, 3}, {3, 3}, {3, 1}, {2, 1}}}},
    {"a ring of two vertices and one of one", {{{0, 0}, {1, 1}}, {{5, 5}}, square(0, 0, 3, true)}},
    {"a ring that does not close", {{{0, 0}, {4, 0}, {4, 4}}, square(1, 1, 1, true)}},
};

TEST(RingRewind, DecidesEveryRingAsShapelibDoes) {
    for (const RewindCase& c : kCases) {
        SCOPED_TRACE(c.caption);
        expectSameRewind(SHPT_POLYGON, c.rings);
        expectSameRewind(SHPT_POLYGONZ, c.rings, true);
    }
}

TEST(RingRewind, LeavesShapesOtherThanPolygonsAlone) {
    expectSameRewind(SHPT_ARC, {square(0, 0, 1, true), square(3, 3, 1, true)});
}

// Rings on a small grid of whole and of odd coordinates: corners on other
// rings, edges at the height of a ray, and crossings that round one way
// read from one end of an edge and the other way from the other end, which
// an earlier ring reversed.
TEST(RingRewind, RandomRingsOnCrowdedGridsMatchShapelib) {
    std::mt19937 random(20260515);
    std::uniform_int_distribution<int> ringCount(1, 12);
    std::uniform_int_distribution<int> cornerCount(1, 9);
    std::uniform_int_distribution<int> coordinate(0, 12);
    std::uniform_real_distribution<double> scale(0.1, 3.0);
    for (int shape = 0; shape < 3000; ++shape) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        const double unit = shape % 2 == 0 ? 1.0 : scale(random);
        std::vector<Ring> rings(static_cast<std::size_t>(ringCount(random)));
        for (Ring& ring : rings) {
            const int corners = cornerCount(random);
            for (int k = 0; k < corners; ++k) {
                ring.emplace_back(unit * coordinate(random), unit * coordinate(random) / 3.0);
            }
            if (corners > 2) {
                ring.push_back(ring.front());
            }
        }
        expectSameRewind(SHPT_POLYGON, rings);
    }
}

// Thousands of islands, as the largest objects of a real map have.
TEST(RingRewind, ManyIslandsMatchShapelib) {
    std::vector<Ring> rings{square(-1, -1, 1000, true)};
    for (int i = 0; i < 2000; ++i) {
        rings.push_back(square(1.0 + (i % 50) * 19.5, 1.0 + (i / 50) * 19.5, 18.0, i % 3 == 0));
        if (i % 7 == 0) {
            rings.push_back(square(3.0 + (i % 50) * 19.5, 3.0 + (i / 50) * 19.5, 5.0, true));
        }
    }
    expectSameRewind(SHPT_POLYGON, rings);
}

}  // namespace
}  // namespace vorn2shp::testing
