#include "triangle_corners.h"

#include <cmath>

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

}  // namespace

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
