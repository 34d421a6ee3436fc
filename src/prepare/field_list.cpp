#include "field_list.h"

namespace vorn2shp {

FieldList extractFieldList(std::string_view secondLine) {
    const std::size_t open = secondLine.find('(');
    const std::size_t firstClose = secondLine.find(')');
    if (open == std::string_view::npos) {
        return {"", FieldListFault::NoOpenParen};
    }
    if (firstClose < open) {
        return {"", FieldListFault::CloseBeforeOpen};
    }
    if (firstClose == std::string_view::npos) {
        return {"", FieldListFault::NoCloseParen};
    }
    FieldList list;
    for (const char c : secondLine.substr(open + 1, firstClose - open - 1)) {
        if (c != '(') {
            list.text.push_back(c);
        }
    }
    return list;
}

std::string describeFieldListFault(const std::string& infoPath, FieldListFault fault) {
    const std::string consequence = "; no field names are declared";
    switch (fault) {
        case FieldListFault::None:
            return "";
        case FieldListFault::NoSecondLine:
            return infoPath + ": no second line with the field list" + consequence;
        case FieldListFault::NoOpenParen:
            return infoPath + ":2: no '(' opens the field list" + consequence;
        case FieldListFault::CloseBeforeOpen:
            return infoPath + ":2: a ')' stands before the first '('" + consequence;
        case FieldListFault::NoCloseParen:
            return infoPath + ":2: no ')' closes the field list" + consequence;
    }
    return "";
}

}  // namespace vorn2shp
