// The numbers that the tokens of a tuple stand for.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// A number as it is written: its value, the one strtod gives for the text,
// and how closely the text pins it down. A number with d digits after its
// point is known to half a unit of its last digit (0.5 * 10^-d, scaled by an
// exponent); one written without a point is exact.
struct WrittenNumber {
    double value = 0.0;
    double halfUnit = 0.0;
};

// Reads `text` when it is wholly a decimal number behind at most one sign:
// digits with at most one point among or behind them (".5" and "12." too),
// and perhaps an exponent "e" or "E" with digits. False for anything else
// ("1_000", "1..2", "1.5e", "nan", "0x10", "k"). A number too large for a
// double reads as an infinity, which the caller must refuse.
bool readWrittenNumber(std::string_view text, WrittenNumber& number);

// A term: an optional sign, an optional decimal number and the letter x or
// y ("2x", "-3.5y", "+y", "x"). A term without a number has the
// coefficient +1 or -1 by its sign, known exactly.
struct Term {
    char letter = 0;  // 'x' or 'y'
    WrittenNumber coefficient;
};

enum class TermFault {
    None,
    NoDecimalNumber,  // its number is not wholly a decimal one ("1_000x", "nanx")
    NoLetter,         // what follows the number is neither x nor y ("2z", "3", "2xy")
};

TermFault readTerm(std::string_view text, Term& term);

// An object id as the text names it. A decimal integer is its number, as
// decimal text of any length ("007" and "+7" are "7", "-0" is "0"), so two
// ids are the same object exactly when their numbers are equal; any other
// id ("1.5", "abc") is the object its text names, and `isWholeNumber` is
// then set to false.
std::string objectId(std::string_view text, bool& isWholeNumber);

}  // namespace vorn2shp
