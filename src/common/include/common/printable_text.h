// Text of the user's files as messages quote it on a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorn2shp {

// `text` as a message shows it: control characters (C0, DEL and C1, which
// a terminal would act on) and bytes that are no UTF-8 character are
// written as \xNN, every other character as it stands.
std::string printableText(std::string_view text);

// The first `maxBytes` bytes of `text` or fewer, cut between UTF-8
// characters, as printableText shows them, and "..." when the text goes on.
std::string printableExcerpt(std::string_view text, std::size_t maxBytes);

}  // namespace vorn2shp
