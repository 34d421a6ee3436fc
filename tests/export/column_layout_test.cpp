// The kind and width of a column from its values: what --detect-types takes
// for a number and what it leaves text, and what a declared type accepts.
// One column a case, its values as the .def lines would give them.
#include "export/column_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn2shp::testing {
namespace {

struct LayoutCase {
    const char* caption;
    std::vector<const char*> values;
    ColumnType type;
    std::size_t width;
    std::size_t decimals;
};

std::vector<ColumnSurvey> surveyOf(const std::vector<const char*>& values) {
    std::vector<ColumnSurvey> surveys(1);
    std::size_t line = 0;
    for (const char* value : values) {
        surveys[0].add(formOf(value), ++line);
    }
    return surveys;
}

// The column's layout; `laidOut` false when the choices refuse the values.
TableColumn layoutOf(const LayoutCase& c, const ColumnChoices& choices, bool& laidOut) {
    const std::string none;
    const AttributeLines lines;
    const TextPlaces places("output.eff.imd", none, lines, none, none);
    LineReader eff;  // read only for the message of a value that does not fit
    std::vector<TableColumn> columns;
    laidOut = planLayout({"v"}, {"v"}, surveyOf(c.values), choices, places, eff, columns);
    return columns.empty() ? TableColumn{} : columns.back();
}

// The case's column, laid out as `choices` ask, is as the case says.
void expectLayout(const LayoutCase& c, const ColumnChoices& choices) {
    SCOPED_TRACE(c.caption);
    bool laidOut = false;
    const TableColumn column = layoutOf(c, choices, laidOut);
    ASSERT_TRUE(laidOut);
    EXPECT_EQ(column.type, c.type);
    EXPECT_EQ(column.width, c.width);
    EXPECT_EQ(column.decimals, c.decimals);
}

const LayoutCase kDetectedCases[] = {
    {"integers, the widest with its sign", {"7", "-12", "0", "240"}, ColumnType::Integer, 3, 0},
    {"blanks around a number do not count", {" 12 ", "\t3"}, ColumnType::Integer, 2, 0},
    {"an empty value is none", {"", "  ", "5"}, ColumnType::Integer, 1, 0},
    {"18 digits are still an integer", {"123456789012345678"}, ColumnType::Integer, 18, 0},
    {"19 digits are kept as text", {"1234567890123456789"}, ColumnType::Text, 50, 0},
    {"decimals make a real column", {"10", "100", "14.875", "9"}, ColumnType::Real, 7, 3},
    {"a negative fraction", {"-0.5", "2.25"}, ColumnType::Real, 5, 2},
    {"a leading zero is a code", {"032", "10"}, ColumnType::Text, 50, 0},
    {"a leading zero before decimals too", {"00.5"}, ColumnType::Text, 50, 0},
    {"a plus sign is no plain number", {"+5"}, ColumnType::Text, 50, 0},
    {"a point needs digits after it", {"5."}, ColumnType::Text, 50, 0},
    {"and before it", {".5"}, ColumnType::Text, 50, 0},
    {"no exponents", {"1e5"}, ColumnType::Text, 50, 0},
    {"one word among numbers", {"1", "2", "n/a"}, ColumnType::Text, 50, 0},
    {"no value at all stays text", {"", ""}, ColumnType::Text, 50, 0},
    {"a blank inside is text", {"1 000"}, ColumnType::Text, 50, 0},
};

TEST(ColumnLayout, DetectedTypes) {
    for (const LayoutCase& c : kDetectedCases) {
        ColumnChoices choices;
        choices.detectTypes = true;
        expectLayout(c, choices);
    }
}

// A declared number column takes what detection leaves as codes, and
// always has a decimal when it is real, so that readers take it for one.
const LayoutCase kDeclaredCases[] = {
    {"integers with leading zeros and a plus", {"032", "+5", "-7"}, ColumnType::Integer, 3, 0},
    {"a real column of integers has a decimal", {"5", "-12"}, ColumnType::Real, 5, 1},
    {"a real column of decimals", {"1.25", "100"}, ColumnType::Real, 6, 2},
    {"text stays text", {"5", "6"}, ColumnType::Text, 50, 0},
    {"no value at all", {""}, ColumnType::Integer, 1, 0},
};

TEST(ColumnLayout, DeclaredTypes) {
    for (const LayoutCase& c : kDeclaredCases) {
        ColumnChoices choices;
        choices.detectTypes = true;
        choices.columnTypes = {{"v", c.type}};
        expectLayout(c, choices);
    }
}

TEST(ColumnLayout, ADeclaredTypeRefusesWhatItCannotHold) {
    const LayoutCase refused[] = {
        {"a fraction in an integer column", {"1", "2.5"}, ColumnType::Integer, 0, 0},
        {"19 digits in an integer column", {"1234567890123456789"}, ColumnType::Integer, 0, 0},
        {"a word in a real column", {"1", "many"}, ColumnType::Real, 0, 0},
        {"an exponent in a real column", {"1e5"}, ColumnType::Real, 0, 0},
    };
    for (const LayoutCase& c : refused) {
        SCOPED_TRACE(c.caption);
        ColumnChoices choices;
        choices.columnTypes = {{"V", c.type}};  // letter case does not count
        bool laidOut = true;
        layoutOf(c, choices, laidOut);
        EXPECT_FALSE(laidOut);
    }
}

TEST(ColumnLayout, WidthAutoTakesTheWidestValueUpToTheMost) {
    ColumnChoices choices;
    choices.textWidth = 0;
    bool laidOut = false;
    EXPECT_EQ(layoutOf({"", {"ab", "abcd", ""}, ColumnType::Text, 0, 0}, choices, laidOut).width,
              4u);
    EXPECT_EQ(layoutOf({"", {"", ""}, ColumnType::Text, 0, 0}, choices, laidOut).width, 1u);
    const std::string longValue(300, 'x');
    EXPECT_EQ(layoutOf({"", {longValue.c_str()}, ColumnType::Text, 0, 0}, choices, laidOut).width,
              kMaxTextWidth);
}

TEST(ColumnLayout, NumberCellsStandAtTheRightWithoutTheirBlanks) {
    EXPECT_EQ(numberCellText(" 12 ", 5), "   12");
    EXPECT_EQ(numberCellText("-0.5", 4), "-0.5");
    EXPECT_EQ(numberCellText("  ", 3), "");
}

}  // namespace
}  // namespace vorn2shp::testing
