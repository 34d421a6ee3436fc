// What the tokens of a tuple stand for: coefficients, constants, ids, the
// corners of the triangle and the text of a point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "translate/geometry/eff_format.h"
#include "translate/tuples/term_values.h"
#include "translate/tuples/triangle_corners.h"

namespace vorn2shp {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A term is read by its letter: its number (or its sign alone) is the
// coefficient of that letter, known to half a unit of its last digit.
TEST(TermValues, ReadTermsByTheirLetter) {
    const double inf = HUGE_VAL;
    struct Case {
        const char* text;
        char letter;
        double value;
        double halfUnit;
    };
    const std::vector<Case> cases = {
        {"2x", 'x', 2, 0},
        {"-3.5y", 'y', -3.5, 0.05},
        {"+1y", 'y', 1, 0},
        {"0x", 'x', 0, 0},
        {"x", 'x', 1, 0},
        {"+y", 'y', 1, 0},
        {"-y", 'y', -1, 0},
        {"-.5x", 'x', -0.5, 0.05},
        {"1e5x", 'x', 1e5, 0},
        {"12.x", 'x', 12, 0.5},
        {"0.250000y", 'y', 0.25, 5e-7},
        {"2.50e3x", 'x', 2500, 5},
        {"1e999x", 'x', inf, 0},
        {"-1e999y", 'y', -inf, 0},
    };
    for (const Case& c : cases) {
        Term term;
        ASSERT_EQ(readTerm(c.text, term), TermFault::None) << c.text;
        EXPECT_EQ(term.letter, c.letter) << c.text;
        EXPECT_TRUE(sameBits(term.coefficient.value, c.value)) << c.text;
        EXPECT_DOUBLE_EQ(term.coefficient.halfUnit, c.halfUnit) << c.text;
    }
    for (const char* text : {"2z", "3", "y2", "2xy0", "+", "-", "0x10", "X"}) {
        Term term;
        EXPECT_EQ(readTerm(text, term), TermFault::NoLetter) << text;
    }
    for (const char* text : {"1_000x", "1..2y", "nanx", "infy", "1.5ex", "2xy", "0x1p3x", "e5x"}) {
        Term term;
        EXPECT_EQ(readTerm(text, term), TermFault::NoDecimalNumber) << text;
    }
}

// A constant must be wholly a decimal number; its value is strtod's.
TEST(TermValues, ReadConstantsOnlyWhenWhollyDecimal) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"6", 6},    {"-4", -4}, {"+2.5", 2.5}, {"1e999", HUGE_VAL},
        {".5", 0.5}, {"7.", 7},  {"1E3", 1000}, {"0." + std::string(400, '0') + "1", 0},
    };
    for (const auto& [text, value] : cases) {
        WrittenNumber number;
        ASSERT_TRUE(readWrittenNumber(text, number)) << text;
        EXPECT_TRUE(sameBits(number.value, value)) << text;
    }
    for (const char* text :
         {"k", "inf", "-nan", "0x10", "1_000", "1..2", "1.5e", "", "-", "1e5x", "."}) {
        WrittenNumber number;
        EXPECT_FALSE(readWrittenNumber(text, number)) << text;
    }
}

// Decimal numbers of every shape read to the same bits as atof gives.
TEST(TermValues, AgreeWithAtofBitForBit) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 25);
    std::uniform_int_distribution<int> exponent(-30, 330);
    for (int i = 0; i < 20000; ++i) {
        std::string number = i % 2 == 0 ? "" : "-";
        for (int k = length(random); k > 0; --k) {
            number += static_cast<char>('0' + digit(random));
        }
        if (i % 3 == 0) {
            number += ".";
            for (int k = length(random); k > 0; --k) {
                number += static_cast<char>('0' + digit(random));
            }
        }
        if (i % 5 == 0) {
            const int e = exponent(random);
            number += "e" + std::to_string(e < 0 ? -e : e);
        }
        const double expected = std::atof(number.c_str());
        Term term;
        ASSERT_EQ(readTerm(number + "x", term), TermFault::None) << number;
        EXPECT_TRUE(sameBits(term.coefficient.value, expected)) << number;
        WrittenNumber constant;
        ASSERT_TRUE(readWrittenNumber(number, constant)) << number;
        EXPECT_TRUE(sameBits(constant.value, expected)) << number;
    }
}

// Ids that are whole numbers are the same object exactly when their numbers
// are equal, of any length; any other id is the object its text names.
TEST(TermValues, ReadIdsAsWritten) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"12", "12", true},
        {"-3", "-3", true},
        {"+5", "5", true},
        {"007", "7", true},
        {"-007", "-7", true},
        {"0", "0", true},
        {"-0", "0", true},
        {"000", "0", true},
        {"99999999999999999999", "99999999999999999999", true},
        {"-99999999999999999999", "-99999999999999999999", true},
        {"12ab", "12ab", false},
        {"abc", "abc", false},
        {"1.5", "1.5", false},
        {"1e3", "1e3", false},
        {"0.9", "0.9", false},
    };
    for (const auto& [text, id, whole] : cases) {
        bool isWhole = !whole;
        EXPECT_EQ(objectId(text, isWhole), id) << text;
        EXPECT_EQ(isWhole, whole) << text;
    }
}

// The corner formulas as the system has always computed them, for lines
// whose y coefficients are not zero.
Triangle classicCorners(double a1, double a2, double a3, double b1, double b2, double b3, double c1,
                        double c2, double c3) {
    const double x12 = (c2 * b1 - b2 * c1) / (b1 * a2 - b2 * a1);
    const double y12 = (c1 - a1 * x12) / b1;
    const double x23 = (c3 * b2 - b3 * c2) / (b2 * a3 - b3 * a2);
    const double y23 = (c2 - a2 * x23) / b2;
    const double x13 = (c3 * b1 - b3 * c1) / (b1 * a3 - b3 * a1);
    const double y13 = (c1 - a1 * x13) / b1;
    return Triangle{{x12, y12}, {x13, y13}, {x23, y23}};
}

TEST(TriangleCorners, AreBitForBitTheClassicFormulasWhereNoLineIsVertical) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> value(-50, 50);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::array<ConstraintLine, 3> lines = {
            ConstraintLine{value(random), value(random), value(random)},
            ConstraintLine{value(random), value(random), value(random)},
            ConstraintLine{value(random), value(random), value(random)}};
        Triangle t;
        if (triangleOf(lines, t) != TriangleFault::None) {
            continue;
        }
        const Triangle expected =
            classicCorners(lines[0].a, lines[1].a, lines[2].a, lines[0].b, lines[1].b, lines[2].b,
                           lines[0].c, lines[1].c, lines[2].c);
        for (const auto& [got, want] :
             {std::pair{t.c12, expected.c12}, std::pair{t.c13, expected.c13},
              std::pair{t.c23, expected.c23}}) {
            ASSERT_TRUE(sameBits(got.x, want.x) && sameBits(got.y, want.y)) << "lines " << i;
        }
        ++compared;
    }
    EXPECT_GT(compared, 19000);
}

TEST(TriangleCorners, TellWhyThereIsNoTriangle) {
    struct Case {
        const char* what;
        std::array<ConstraintLine, 3> lines;
        TriangleFault fault;
    };
    const double inf = HUGE_VAL;
    const std::vector<Case> cases = {
        {"parallel", {{{0, 1, 1}, {0, 2, 8}, {1, 1, 6}}}, TriangleFault::ParallelLines},
        {"two verticals", {{{1, 0, 1}, {2, 0, 8}, {1, 1, 6}}}, TriangleFault::ParallelLines},
        {"one line twice", {{{1, 1, 2}, {1, 1, 2}, {1, -1, 0}}}, TriangleFault::ParallelLines},
        {"infinite coefficient",
         {{{inf, 1, 1}, {-1, 1, 0}, {1, 1, 6}}},
         TriangleFault::CoefficientOutOfRange},
        {"lines meeting beyond the doubles",
         {{{0, 1, 0}, {1e-301, 1, 1e300}, {1, 1, 6}}},
         TriangleFault::CornerOutOfRange},
        {"three lines through one point",
         {{{1, 1, 2}, {1, -1, 0}, {1, 0, 1}}},
         TriangleFault::NoArea},
        {"the road", {{{0, 1, 1}, {-1, 1, 0}, {1, 1, 6}}}, TriangleFault::None},
    };
    for (const Case& c : cases) {
        Triangle t;
        EXPECT_EQ(triangleOf(c.lines, t), c.fault) << c.what;
    }
}

TEST(EffFormat, WritesFourDecimalsWithYNegated) {
    const std::vector<std::pair<Point, std::string>> cases = {
        {{1, 1}, "(1.0000,-1.0000),"},
        {{12.5, 17.5}, "(12.5000,-17.5000),"},
        {{0, 0}, "(0.0000,-0.0000),"},
        {{-0.0, -0.0}, "(-0.0000,0.0000),"},
        {{-3.25, -2}, "(-3.2500,2.0000),"},
        {{1e20, 0.00004}, "(100000000000000000000.0000,-0.0000),"},
    };
    for (const auto& [point, text] : cases) {
        std::string out = "<";
        appendEffPoint(out, point);
        EXPECT_EQ(out, "<" + text);
    }
    std::string huge;
    appendEffPoint(huge, Point{1e300, -1e300});
    EXPECT_EQ(huge.size(), 2 * (301 + 5) + 4);
    EXPECT_EQ(huge.substr(0, 3), "(10");
    EXPECT_EQ(huge.substr(huge.size() - 7), ".0000),");
}

// The point a written point reads back as: the same text when written
// again, and the values strtod gives for that text.
TEST(EffFormat, WrittenPointsReadBackAsTheirText) {
    const std::vector<Point> points = {
        {1.23456, -7.65432},
        {0.00004, -0.00004},
        {-0.00005, 0.00015},
        {2.00003, 1.99997},
        {123456789012.34567, -987654321098.76543},
        {126888958172626.14, -3e14 + 0.0625},  // four decimals need more than 2^53 units
        {1e300, 1e-300},
    };
    for (const Point& p : points) {
        std::string text;
        appendEffPoint(text, p);
        const Point written = writtenPoint(p);
        std::string again;
        appendEffPoint(again, written);
        EXPECT_EQ(again, text) << p.x << " " << p.y;
        const std::size_t comma = text.find(',');
        EXPECT_EQ(written.x, std::strtod(text.c_str() + 1, nullptr)) << text;
        EXPECT_EQ(-written.y, std::strtod(text.c_str() + comma + 1, nullptr)) << text;
        EXPECT_TRUE(writtenPoint(written) == written) << text;
    }
}

}  // namespace
}  // namespace vorn2shp
