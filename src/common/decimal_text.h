// A fast, exact reading of the short decimal numbers that fill the
// constraint text and output.eff.imd.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn2shp {

// Reads the unsigned decimal number at the start of `text`: digits with an
// optional fraction ("12", "3.25", ".5", "7."), with no sign and no
// exponent. On success `value` holds the same bits that strtod would give
// and `length` the characters read.
//
// False, with nothing stored, when the text does not start that way or when
// the number is beyond what this route reads exactly (more than 19 digits,
// a significand above 2^53, more than 22 decimals, an exponent or a hex
// prefix after it): the caller then reads it the general way.
bool readShortDecimal(std::string_view text, double& value, std::size_t& length);

}  // namespace vorn2shp
