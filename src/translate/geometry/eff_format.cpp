#include "geometry/eff_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace vorn2shp {

namespace {

// Room for "%.4f" of any value that appendFixed4Exactly takes: sign, 15
// integer digits, point and four decimals.
constexpr std::size_t kShortFixedText = 24;

// Counts of 1/10000 up to here are exact as doubles.
constexpr std::uint64_t kExactUnits = std::uint64_t{1} << 53;

// The number printf's "%.4f" rounds `value` to, as a count of 1/10000 and a
// sign, for magnitudes below 2^48; false for anything larger, infinite or NaN.
//
// A double is m * 2^e exactly, so value * 10^4 = m * 625 * 2^(e + 4), and
// m * 625 (53 + 10 bits) fits 64 bits: shifting it right by -(e + 4) gives
// the whole units and the bits shifted out the exact remainder, which
// rounds half to even just as printf does on the exact binary value.
bool tenThousandths(double value, std::uint64_t& units, bool& negative) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    negative = (bits >> 63) != 0;
    const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) {
        return false;
    }
    int exponent = -1074;  // of the subnormals and zero
    if (biasedExponent != 0) {
        significand |= std::uint64_t{1} << 52;
        exponent = biasedExponent - 1075;
    }
    const int shift = -(exponent + 4);
    if (shift <= 0) {
        return false;
    }
    const std::uint64_t scaled = significand * 625;
    if (shift >= 64) {
        units = 0;  // below half a unit: the remainder is under 2^63
        return true;
    }
    units = scaled >> shift;
    const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (units & 1) != 0)) {
        ++units;
    }
    return true;
}

void appendUnits(std::string& out, std::uint64_t units, bool negative) {
    const std::size_t at = out.size();
    out.resize(at + kShortFixedText);
    char* next = &out[at];
    if (negative) {
        *next++ = '-';
    }
    next = std::to_chars(next, &out[at] + kShortFixedText, units / 10000).ptr;
    *next++ = '.';
    std::uint64_t decimals = units % 10000;
    for (int i = 3; i >= 0; --i) {
        next[i] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    out.resize(static_cast<std::size_t>(next + 4 - out.data()));
}

// std::to_chars with a precision rounds the exact binary value just as
// printf does (ties to even, "-0.0000" for -0.0), for values of any size.
void appendFixed4Generally(std::string& out, double value) {
    // Sign, every integer digit of the largest double, point and decimals.
    constexpr std::size_t kLongest = std::numeric_limits<double>::max_exponent10 + 8;
    const std::size_t at = out.size();
    out.resize(at + kLongest);
    char* const first = &out[at];
    const auto [end, error] =
        std::to_chars(first, first + kLongest, value, std::chars_format::fixed, 4);
    out.resize(error == std::errc{} ? at + static_cast<std::size_t>(end - first) : at);
}

// Appends `value` as printf's "%.4f" writes it, without snprintf, which
// parses its format anew for every number of every outline. Ordinary
// coordinates take the integer route, the rest the general one.
void appendFixed4(std::string& out, double value) {
    std::uint64_t units = 0;
    bool negative = false;
    if (tenThousandths(value, units, negative)) {
        appendUnits(out, units, negative);
    } else {
        appendFixed4Generally(out, value);
    }
}

// The value that appendFixed4's text reads back as. Beyond 2^48 a double
// is a multiple of 1/16, which four decimals write exactly.
double writtenValue(double value) {
    std::uint64_t units = 0;
    bool negative = false;
    if (!tenThousandths(value, units, negative)) {
        return value;
    }
    if (units <= kExactUnits) {
        // Both operands are exact and the division rounds the quotient
        // correctly, just as reading its decimal text does.
        const double magnitude = static_cast<double>(units) / 10000.0;
        return negative ? -magnitude : magnitude;
    }
    std::string text;
    appendUnits(text, units, negative);
    double read = value;
    std::from_chars(text.data(), text.data() + text.size(), read);
    return read;
}

}  // namespace

Point writtenPoint(Point p) { return Point{writtenValue(p.x), -writtenValue(-1.0 * p.y)}; }

namespace {

// Up to this magnitude a written coordinate is a whole number of units of
// the fourth decimal that fits 60 bits, so that the cross products of their
// differences are exact in 128; beyond it the doubles themselves are far
// coarser than the decimals, and exact as they stand.
constexpr double kLargestInUnits = 1e14;

__extension__ using Wide = __int128;

bool inUnitRange(Point p) {
    return std::fabs(p.x) <= kLargestInUnits && std::fabs(p.y) <= kLargestInUnits;
}

// The sign of the turn from a to b to c, exact where the units allow.
int turnSign(Point a, Point b, Point c) {
    if (inUnitRange(a) && inUnitRange(b) && inUnitRange(c)) {
        const auto units = [](double v) { return static_cast<Wide>(std::llround(v * 1e4)); };
        const Wide turn = (units(b.x) - units(a.x)) * (units(c.y) - units(a.y)) -
                          (units(b.y) - units(a.y)) * (units(c.x) - units(a.x));
        return turn > 0 ? 1 : (turn < 0 ? -1 : 0);
    }
    const double turn = orientation(a, b, c);
    return turn > 0.0 ? 1 : (turn < 0.0 ? -1 : 0);
}

}  // namespace

bool collapsesWhenWritten(const Ring& ring) {
    std::vector<Point> points;
    points.reserve(ring.size());
    for (const Point& p : ring) {
        const Point written = writtenPoint(p);
        if (points.empty() || written != points.back()) {
            points.push_back(written);
        }
    }
    while (points.size() > 1 && points.back() == points.front()) {
        points.pop_back();
    }
    if (points.size() < 3) {
        return true;
    }
    for (std::size_t i = 2; i < points.size(); ++i) {
        if (turnSign(points[0], points[1], points[i]) != 0) {
            return false;
        }
    }
    return true;
}

void appendEffPoint(std::string& out, Point p) {
    out += '(';
    appendFixed4(out, p.x);
    out += ',';
    appendFixed4(out, -1.0 * p.y);
    out += "),";
}

}  // namespace vorn2shp
