// UTF-8, as the stages meet it in the user's text: the byte-order mark some
// editors write first, well-formed characters, and cuts that keep them whole.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn2shp {

// What some editors put at the start of a UTF-8 file; it is no text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence that starts at `text[i]` (1
// for ASCII), 0 when none does: overlong forms, surrogates and anything
// above U+10FFFF are none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

// True when `text` is well-formed UTF-8 throughout. Plain ASCII is UTF-8.
bool isValidUtf8(std::string_view text);

// `at`, or the start of the well-formed character that runs on past it:
// where a message cuts a quoted text, which may be anything.
std::size_t characterBoundaryAt(std::string_view text, std::size_t at);

// The longest start of `text` of at most `maxBytes` bytes, as a table
// column stores it. In UTF-8 text (`utf8`) the cut moves back over the
// continuation bytes at it, so that no character is broken; other text is
// cut at the byte.
std::string_view cutToWidth(std::string_view text, std::size_t maxBytes, bool utf8);

}  // namespace vorn2shp
