// The message for a rejected constraint text, at the line of the user's own
// file where the parse stopped, with the token as the user wrote it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "scanner.h"

namespace vorn2shp {

// "town.txt:5: unexpected ')'", "town.txt:9: unexpected end of file", or,
// for a name or string that the end cuts off, "... unexpected end of file
// after 'abc'". `lineText` is the line that the token begins on, as the user
// wrote it: the preparation changes no column of a line it keeps, so
// `place` points into it. Long tokens are shortened, and bytes that are
// not printable text are shown as \xNN.
std::string describeRejection(const TokenPlace& place, const std::string& path,
                              std::size_t lineNumber, std::string_view lineText);

}  // namespace vorn2shp
