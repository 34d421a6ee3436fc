// The plane geometry shared by the translation pass and the outline merge.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorn2shp {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

inline bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(Point a, Point b) { return !(a == b); }

// A hash of where a point lies, the same for equal points (0 and -0 among
// them), for tables that look points up by their exact place. Every bit of
// it depends on every bit of both coordinates: the low bits of a whole
// number's double are all 0.
inline std::uint64_t placeHash(Point p) {
    const auto bitsOf = [](double v) {
        v += 0.0;
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return bits;
    };
    const auto mix = [](std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    return mix(bitsOf(p.x) ^ mix(bitsOf(p.y)));
}

// One tuple's triangle, by the pairs of its constraint lines that meet in
// each corner: lines 1 and 2, lines 1 and 3, lines 2 and 3.
struct Triangle {
    Point c12;
    Point c13;
    Point c23;
};

// How closely each corner of a triangle (12, 13, 23) is known, the larger
// of its two axes, as a fraction of the triangle's size (its longest side,
// see sizeOf): `written` from the precision of the numbers its two lines are
// written with, `computed` from the rounding of doubles in reading them and
// in computing the corner. Each fraction is kept as a power of 2^(1/4) at or
// above it, in a byte (see boundFraction), so that a map's tuples carry it
// in a few bytes. Two nearly parallel lines of a needle-thin triangle can
// leave its far corner known only to many times the triangle's size.
struct CornerBounds {
    std::array<std::uint8_t, 3> written{255, 255, 255};
    std::array<std::uint8_t, 3> computed{255, 255, 255};
};

// The keys of a triangle's lines 1, 2 and 3: the same key for one line
// written again with every sign turned, as the triangles on either side of
// a shared side write it.
using LineKeys = std::array<std::uint32_t, 3>;

// A fraction of 2^16 or less as such a byte, and back: code k stands for
// 2^(16 - k/4), from 65536 down to about 5e-15, and 255 for 0. A fraction
// below the smallest takes the smallest.
inline std::uint8_t boundCode(double fraction) {
    constexpr int kZero = 255;
    constexpr double kLargest = 65536.0;
    if (!(fraction > 0.0)) {
        return kZero;
    }
    if (!(fraction < kLargest)) {
        return 0;
    }
    const double steps = std::floor(4.0 * (16.0 - std::log2(fraction)));
    return static_cast<std::uint8_t>(steps >= kZero ? kZero - 1 : steps);
}

// Read for every corner of every object, so looked up rather than computed.
inline double boundFraction(std::uint8_t code) {
    static const std::array<double, 256> kFractions = [] {
        std::array<double, 256> fractions{};
        for (std::size_t k = 0; k < 255; ++k) {
            fractions[k] = std::exp2(16.0 - 0.25 * static_cast<double>(k));
        }
        return fractions;
    }();
    return kFractions[code];
}

// The longest side of a triangle, the larger of its two axes: what its
// corners' precision is measured in.
inline double sizeOf(const Triangle& t) {
    const auto side = [](Point a, Point b) {
        return std::fmax(std::fabs(a.x - b.x), std::fabs(a.y - b.y));
    };
    return std::fmax(side(t.c12, t.c13), std::fmax(side(t.c13, t.c23), side(t.c23, t.c12)));
}

// A straight piece between two points.
struct Segment {
    Point from;
    Point to;
};

// The distance between two points: the plain formula, several times
// faster than std::hypot, unless its squares overflow.
inline double distance(Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double squared = dx * dx + dy * dy;
    return std::isfinite(squared) ? std::sqrt(squared) : std::hypot(dx, dy);
}

// The mean length of the segments; 0 when there are none.
inline double meanLength(const std::vector<Segment>& segments) {
    double total = 0.0;
    for (const Segment& s : segments) {
        total += distance(s.from, s.to);
    }
    return total / static_cast<double>(segments.empty() ? 1 : segments.size());
}

// A closed outline: the last point repeats the first.
using Ring = std::vector<Point>;

// One part of an outline: its outer ring and the holes inside it.
struct PolygonRings {
    Ring shell;
    std::vector<Ring> holes;
};

// Twice the signed area of a, b, c: positive when they turn counter-clockwise.
inline double orientation(Point a, Point b, Point c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Signed area of a ring (closed or not); positive when it runs counter-clockwise.
double signedArea(const std::vector<Point>& ring);

}  // namespace vorn2shp
