// Text as the attribute table stores it: byte-limited fields whose bytes are
// UTF-8 only when the table is declared so.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn2shp {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). Plain ASCII is UTF-8.
bool isValidUtf8(std::string_view text);

// The longest start of `text` of at most `maxBytes` bytes. In a UTF-8 table
// the cut falls between characters, so no broken character is stored.
std::string_view cutToWidth(std::string_view text, std::size_t maxBytes, bool utf8);

}  // namespace vorn2shp
