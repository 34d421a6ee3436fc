// The kinds and widths of the table's columns, chosen from their values
// before the table is made: text columns of one width by default, and with
// the options, columns as wide as their values or holding numbers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/column_choices.h"
#include "common/text_file.h"
#include "text_places.h"

namespace vorn2shp {

// What a value is like, as far as the column it is in is chosen by it.
struct ValueForm {
    enum class Kind { Empty, Text, Number };

    Kind kind = Kind::Empty;  // Empty: nothing but blanks
    std::size_t bytes = 0;    // the value as written
    // Of a number (blanks around it, an optional sign, digits, and a point
    // followed by digits): the sign and digits before the point, and the
    // digits after it.
    std::size_t lead = 0;
    std::size_t decimals = 0;
    // A number as a column of numbers is told by: no '+', no leading zero
    // ("032" is a code, not thirty-two).
    bool plain = false;
};

ValueForm formOf(std::string_view value);

// What the values of one column are like, taken in file order.
struct ColumnSurvey {
    std::size_t widest = 0;  // bytes of the widest value
    std::size_t values = 0;  // the values that are not empty
    bool plainIntegers = true;
    bool plainNumbers = true;
    std::size_t lead = 0;      // the longest of the numbers' leads
    std::size_t decimals = 0;  // the most decimals of the numbers
    // The record line of the first value that an integer column, or a real
    // one, cannot hold; 0 where there is none.
    std::size_t firstNoInteger = 0;
    std::size_t firstNoNumber = 0;

    void add(const ValueForm& form, std::size_t recordLine);
};

struct TableColumn {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::size_t width = kDefaultTextWidth;
    std::size_t decimals = 0;
};

// The columns named `names` (declared by the .info as `declared`), with the
// kinds and widths that `choices` asks for, from `surveys` (one for each
// column that has values). False after a message, naming the user's files
// through `places`, when --type names no column, or when a value does not
// fit the type that it declares (whose text is read again from `eff`, which
// is left at its start).
bool planLayout(const std::vector<std::string>& names, const std::vector<std::string>& declared,
                const std::vector<ColumnSurvey>& surveys, const ColumnChoices& choices,
                const TextPlaces& places, LineReader& eff, std::vector<TableColumn>& columns);

// The text of a number column's value as the table holds it: without the
// blanks around it, at the right of the column. Empty for an empty value.
std::string numberCellText(std::string_view value, std::size_t width);

}  // namespace vorn2shp
