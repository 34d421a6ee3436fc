// The attribute field list of a .info file: the text of its second line
// between the first '(' and the first ')' after it.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

enum class FieldListFault {
    None,
    NoSecondLine,     // the file has fewer than two lines
    NoOpenParen,      // the second line holds no '('
    CloseBeforeOpen,  // a ')' comes before the first '('
    NoCloseParen,     // no ')' follows the first '('
};

struct FieldList {
    std::string text;  // empty whenever fault is not None
    FieldListFault fault = FieldListFault::None;
};

// Takes the field list from the second line of a .info file. The text is
// copied unchanged (blanks included) except that '(' is never copied.
FieldList extractFieldList(std::string_view secondLine);

// What to tell the user about a fault, e.g. "town.info:2: no ')' closes the
// field list; no field names are declared". Empty for FieldListFault::None.
std::string describeFieldListFault(const std::string& infoPath, FieldListFault fault);

}  // namespace vorn2shp
