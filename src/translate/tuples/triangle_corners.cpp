#include "tuples/triangle_corners.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorn2shp {

namespace {

bool isFinite(const ConstraintLine& l) {
    return std::isfinite(l.a) && std::isfinite(l.b) && std::isfinite(l.c);
}

// The corner where line p meets line q: x by Cramer's rule, y from line p,
// or from line q when p is vertical (b = 0) and says nothing about y. Each
// value is stored as a double before the next is computed, so corners come
// out bit for bit the same on every platform. False when the lines are
// parallel; the corner may then still be out of range.
bool cornerOf(const ConstraintLine& p, const ConstraintLine& q, Point& corner) {
    const double determinant = p.b * q.a - q.b * p.a;
    if (determinant == 0.0) {
        return false;
    }
    const double x = (q.c * p.b - q.b * p.c) / determinant;
    const double y = p.b != 0.0 ? (p.c - p.a * x) / p.b : (q.c - q.a * x) / q.b;
    corner = Point{x, y};
    return true;
}

bool isFinite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The rounding of one double operation, relative.
constexpr double kUnitRoundoff = 0x1p-53;

// How far the corner of lines p and q moves when each line is off by at most
// `offP` and `offQ` at the corner (|a*x + b*y - c|): the first-order change
// of the solution of the two equations, per axis.
Point moveOfCorner(const ConstraintLine& p, const ConstraintLine& q, double offP, double offQ) {
    const double determinant = std::fabs(p.b * q.a - q.b * p.a);
    return Point{(std::fabs(q.b) * offP + std::fabs(p.b) * offQ) / determinant,
                 (std::fabs(q.a) * offP + std::fabs(p.a) * offQ) / determinant};
}

double writtenOffset(const ConstraintLine& l, Point corner) {
    return l.aHalfUnit * std::fabs(corner.x) + l.bHalfUnit * std::fabs(corner.y) + l.cHalfUnit;
}

// Reading each number rounds it by one unit, and the products and
// differences of the corner's formula by one or two more.
double computedOffset(const ConstraintLine& l, Point corner) {
    return 4 * kUnitRoundoff *
           (std::fabs(l.a * corner.x) + std::fabs(l.b * corner.y) + std::fabs(l.c));
}

// A corner known more loosely than a good part of its triangle's size is
// not known at all: its bound goes no further than that, so that it never
// reaches across the triangle it belongs to. So also for a bound that could
// not be computed. As a fraction of the size it needs no more than a byte,
// whatever the coordinates, and is never rounded down.
std::uint8_t codeOf(double bound, double size, double most) {
    const double fraction = bound / size;
    return boundCode(fraction < most ? fraction : most);
}

// The computed slack joins copies of one corner wherever they lie near;
// capped well below the triangle's size, it seldom reaches another of its
// corners. The written bound joins only the copies that sides on one line
// show, so it may say what it says: a needle's far corner may be anywhere
// along it and well past its other end.
constexpr double kLoosestComputed = 0.125;
constexpr double kLoosestWritten = 65536.0;

struct OneCornerBounds {
    double written;
    double computed;
};

// y comes from the first line of the pair that is not vertical, so an error
// in x reaches it through that line's slope as well.
OneCornerBounds boundsOfCorner(const ConstraintLine& p, const ConstraintLine& q, Point corner) {
    const Point written = moveOfCorner(p, q, writtenOffset(p, corner), writtenOffset(q, corner));
    const Point moved = moveOfCorner(p, q, computedOffset(p, corner), computedOffset(q, corner));
    const ConstraintLine& yLine = p.b != 0.0 ? p : q;
    const double computedX = moved.x + kUnitRoundoff * std::fabs(corner.x);
    const double computedY =
        moved.y +
        (std::fabs(yLine.a) * computedX +
         2 * kUnitRoundoff * (std::fabs(yLine.c) + std::fabs(yLine.a * corner.x))) /
            std::fabs(yLine.b) +
        kUnitRoundoff * std::fabs(corner.y);
    // Twice the first-order estimate, for the terms of second order.
    return OneCornerBounds{2 * std::max(written.x, written.y), 2 * std::max(computedX, computedY)};
}

std::uint64_t bitsOf(double v) {
    v += 0.0;  // -0 is 0
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

std::uint64_t mixed(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The same for a line written again with every sign turned, as the two
// triangles on either side of a shared side write it.
std::uint64_t lineKey(const ConstraintLine& l) {
    const double sign = l.a < 0.0 || (l.a == 0.0 && l.b < 0.0) ? -1.0 : 1.0;
    return mixed(bitsOf(sign * l.a) ^ mixed(bitsOf(sign * l.b) ^ mixed(bitsOf(sign * l.c))));
}

}  // namespace

CornerBounds cornerBoundsOf(const std::array<ConstraintLine, 3>& lines, const Triangle& triangle) {
    const OneCornerBounds corners[] = {boundsOfCorner(lines[0], lines[1], triangle.c12),
                                       boundsOfCorner(lines[0], lines[2], triangle.c13),
                                       boundsOfCorner(lines[1], lines[2], triangle.c23)};
    const double size = sizeOf(triangle);
    CornerBounds bounds;
    for (std::size_t i = 0; i < 3; ++i) {
        bounds.written[i] = codeOf(corners[i].written, size, kLoosestWritten);
        bounds.computed[i] = codeOf(corners[i].computed, size, kLoosestComputed);
    }
    return bounds;
}

bool hasWrittenBounds(const std::array<ConstraintLine, 3>& lines) {
    for (const ConstraintLine& l : lines) {
        if (l.aHalfUnit != 0.0 || l.bHalfUnit != 0.0 || l.cHalfUnit != 0.0) {
            return true;
        }
    }
    return false;
}

LineKeys lineKeysOf(const std::array<ConstraintLine, 3>& lines) {
    return {static_cast<std::uint32_t>(lineKey(lines[0])),
            static_cast<std::uint32_t>(lineKey(lines[1])),
            static_cast<std::uint32_t>(lineKey(lines[2]))};
}

TriangleFault triangleOf(const std::array<ConstraintLine, 3>& lines, Triangle& triangle) {
    for (const ConstraintLine& l : lines) {
        if (!isFinite(l)) {
            return TriangleFault::CoefficientOutOfRange;
        }
    }
    Triangle t;
    if (!cornerOf(lines[0], lines[1], t.c12) || !cornerOf(lines[0], lines[2], t.c13) ||
        !cornerOf(lines[1], lines[2], t.c23)) {
        return TriangleFault::ParallelLines;
    }
    if (!isFinite(t.c12) || !isFinite(t.c13) || !isFinite(t.c23)) {
        return TriangleFault::CornerOutOfRange;
    }
    const double twiceArea = orientation(t.c12, t.c13, t.c23);
    if (!std::isfinite(twiceArea)) {
        return TriangleFault::CornerOutOfRange;
    }
    if (twiceArea == 0.0) {
        return TriangleFault::NoArea;
    }
    triangle = t;
    return TriangleFault::None;
}

}  // namespace vorn2shp
