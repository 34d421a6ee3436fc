// The one rule that tells coordinates from attribute values on a line of
// output.eff.imd, shared by the translation, which writes the lines, and the
// export, which reads them back.
//
// A line is comma-separated items (empty items do not exist). It starts with
// the object's coordinate pairs, each spread over two items, "(x" and "y)";
// an item continues that run only when it is "(" followed by a number.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// True for a plain decimal number: sign, digits with an optional fraction,
// optional exponent, and nothing else.
bool isDecimalNumber(std::string_view text);

// Whether `item` opens another coordinate pair: "(" and a decimal number,
// blanks anywhere, and nothing else. `scratch` is working storage.
bool opensCoordinatePair(std::string_view item, std::string& scratch);

// Whether attribute text written right after an outline's pairs would be read
// back as coordinates: its first item opens a pair and another item follows
// it. A pair opened by the last item is never completed, and stays a value.
bool isReadAsCoordinates(std::string_view attributeText);

}  // namespace vorn2shp
