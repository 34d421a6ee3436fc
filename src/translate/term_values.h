// The numbers that the tokens of a tuple stand for.
#pragma once

#include <string_view>

namespace vorn2shp {

// A term's coefficient: its leading decimal number as atof reads it ("2x" is
// 2, "-3.5y" is -3.5), or +1 / -1 by its sign when it starts with no number
// ("x", "+y" are 1, "-y" is -1; "inf" and "nan" are names here). A number
// too large for a double gives an infinity, which the caller must refuse.
double termCoefficient(std::string_view term);

// A constant's value: its leading decimal number, 0 when it has none.
double constantValue(std::string_view text);

// An object id as atoi reads it (leading number, 0 when there is none),
// held to the range of int.
int objectId(std::string_view text);

}  // namespace vorn2shp
