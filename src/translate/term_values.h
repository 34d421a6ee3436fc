// The numbers that the tokens of a tuple stand for.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// A term's coefficient: its leading decimal number as atof reads it ("2x" is
// 2, "-3.5y" is -3.5), or +1 / -1 by its sign when it starts with no number
// ("x", "+y" are 1, "-y" is -1). A number too large for a double gives an
// infinity, which the caller must refuse.
double termCoefficient(std::string_view term);

// A constant's value: its leading decimal number, 0 when it has none.
double constantValue(std::string_view text);

// Whether atof would read a number from `text` that is no decimal one: a
// hexadecimal number ("0x10", "-0x1p3"), an infinity ("inf", "Infinity")
// or a NaN ("nan"). The two functions above read decimals only, and would
// give such a term or constant another value than atof does.
bool startsWithNonDecimalNumber(std::string_view text);

// An object id: its leading number as atoi reads it ("007" and "+7" are
// "7"; no number is "0"), as decimal text of any length, so that two ids
// are the same object exactly when their numbers are equal.
std::string objectId(std::string_view text);

}  // namespace vorn2shp
