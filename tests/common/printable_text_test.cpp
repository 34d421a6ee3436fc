// Text of the user's files as messages quote it: nothing a terminal would
// act on reaches it, and every real character does.
#include "common/printable_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn2shp {
namespace {

TEST(PrintableText, EscapesControlsAndBytesThatAreNoCharacter) {
    const struct {
        const char* caption;
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text", "Lake (North), 12", "Lake (North), 12"},
        {"a terminal's escape sequence", "(1,2)\x1B]0;owned\x07\x1B[2J.",
         "(1,2)\\x1B]0;owned\\x07\\x1B[2J."},
        {"tab, line end and DEL", "a\tb\r\n\x7F", "a\\x09b\\x0D\\x0A\\x7F"},
        {"NUL", std::string("a\0b", 3), "a\\x00b"},
        {"UTF-8 characters whole", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8A",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8A"},
        {"a C1 control, U+009B",
         "a\xC2\x9B"
         "2J",
         "a\\xC2\\x9B2J"},
        {"the first character past the C1 controls", "\xC2\xA0", "\xC2\xA0"},
        {"a Latin-1 byte", "caf\xE9", "caf\\xE9"},
        {"an overlong ESC", "\xE0\x80\x9B", "\\xE0\\x80\\x9B"},
        {"a surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"a character cut off", "a\xE2\x82", "a\\xE2\\x82"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(printableText(c.text), c.shown) << c.caption;
    }
}

TEST(PrintableText, AnExcerptEndsBetweenCharacters) {
    EXPECT_EQ(printableExcerpt("(1,2),oak", 40), "(1,2),oak");
    EXPECT_EQ(printableExcerpt("abcdef", 4), "abcd...");
    // The euro sign would be cut at its second byte.
    EXPECT_EQ(printableExcerpt("ab\xE2\x82\xAC"
                               "cd",
                               4),
              "ab...");
    EXPECT_EQ(printableExcerpt("\x1B\x1B\x1B", 2), "\\x1B\\x1B...");
    EXPECT_EQ(printableExcerpt(std::string(8, '\x80'), 4), "\\x80\\x80\\x80\\x80...");
}

}  // namespace
}  // namespace vorn2shp
