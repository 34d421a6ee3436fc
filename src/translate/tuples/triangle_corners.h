// The triangle that a tuple's three constraint lines bound.
#pragma once

#include <array>
#include <cstdint>

#include "geometry/geometry.h"

namespace vorn2shp {

// The line a*x + b*y = c that bounds one constraint, with how far each of
// its numbers may be from the value meant: half a unit of the last digit
// written, 0 for a number written without a point.
struct ConstraintLine {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double aHalfUnit = 0.0;
    double bHalfUnit = 0.0;
    double cHalfUnit = 0.0;
};

// Why a tuple gives no triangle.
enum class TriangleFault : std::uint8_t {
    None,
    CoefficientOutOfRange,  // a number too large for a double
    ParallelLines,          // two lines never meet
    CornerOutOfRange,       // lines that meet too far out for a double
    NoArea,                 // the corners lie on one line
};

// Computes corners 12, 13 and 23 into `triangle`, or tells why there is none.
TriangleFault triangleOf(const std::array<ConstraintLine, 3>& lines, Triangle& triangle);

// How far each corner may lie from where the lines that were meant meet:
// from the half-units of the numbers as written, and from rounding them to
// doubles and the arithmetic of the corner. To first order; both grow as
// the two lines of a corner near parallel.
CornerBounds cornerBoundsOf(const std::array<ConstraintLine, 3>& lines, const Triangle& triangle);

// Whether any number of the lines is written with a point, and so known
// only to its last digit.
bool hasWrittenBounds(const std::array<ConstraintLine, 3>& lines);

LineKeys lineKeysOf(const std::array<ConstraintLine, 3>& lines);

}  // namespace vorn2shp
