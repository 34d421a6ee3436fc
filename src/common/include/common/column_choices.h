// The attribute table's columns as the user chooses them: the command line
// reads --width, --detect-types and --type into them, and the export lays
// the table out by them.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vorn2shp {

// The kinds of table column: text (dBASE C), and numbers (N) with and
// without decimals.
enum class ColumnType { Text, Integer, Real };

// "integer", "real" or "text", as --type names the kind.
const char* columnTypeName(ColumnType type);

// The width of a text column, unless the user asks for another, and the
// widest a column may be (GDAL's bound; the format's own byte holds 255).
constexpr std::size_t kDefaultTextWidth = 50;
constexpr std::size_t kMaxTextWidth = 254;

struct ColumnChoices {
    // The width of the text columns in bytes; 0: each as wide as its
    // widest value (at most kMaxTextWidth).
    std::size_t textWidth = kDefaultTextWidth;
    // Whether a column whose values are all integers, or all decimal
    // numbers, becomes a number column.
    bool detectTypes = false;
    // The types given to columns by name, in the order given (a later one
    // for the same column wins).
    std::vector<std::pair<std::string, ColumnType>> columnTypes;

    // Whether every column is text of the one width: the columns are then
    // chosen without looking at their values.
    bool allTextOfOneWidth() const { return !detectTypes && columnTypes.empty() && textWidth != 0; }
};

}  // namespace vorn2shp
