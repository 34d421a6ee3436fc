// UTF-8 as the stages check and cut it: a table is declared UTF-8 only for
// well-formed text, and a column cut never stores a broken character.
#include "common/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn2shp {
namespace {

TEST(Utf8Text, TellsWellFormedTextFromTheRest) {
    const struct {
        const char* caption;
        std::string text;
        bool valid;
    } cases[] = {
        {"nothing", "", true},
        {"ASCII", "Lake (North), 12", true},
        {"two, three and four bytes", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8A", true},
        {"the last character, U+10FFFF", "\xF4\x8F\xBF\xBF", true},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"a Latin-1 byte", "caf\xE9", false},
        {"an overlong slash", "\xC0\xAF", false},
        {"an overlong three-byte form", "\xE0\x80\xAF", false},
        {"a surrogate", "\xED\xA0\x80", false},
        {"a character cut off at the end", "a\xE2\x82", false},
        {"a continuation byte alone", "a\x80z", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.text), c.valid) << c.caption;
    }
}

TEST(Utf8Text, CutsAColumnBetweenCharactersOnlyInUtf8Text) {
    const std::string euro =
        "ab\xE2\x82\xAC"
        "cd";
    EXPECT_EQ(cutToWidth(euro, 10, true), euro);
    EXPECT_EQ(cutToWidth(euro, 4, true), "ab");
    EXPECT_EQ(cutToWidth(euro, 5, true), "ab\xE2\x82\xAC");
    EXPECT_EQ(cutToWidth(euro, 4, false), "ab\xE2\x82");
    EXPECT_EQ(characterBoundaryAt(euro, 4), 2u);
    EXPECT_EQ(characterBoundaryAt(euro, 5), 5u);
    // Bytes that are no character are cut where they stand in a message.
    EXPECT_EQ(characterBoundaryAt(std::string(8, '\x80'), 4), 4u);
}

}  // namespace
}  // namespace vorn2shp
