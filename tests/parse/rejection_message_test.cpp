// The message for a rejected text: the user's file and line, and the token
// as the user wrote it.
#include "parse/rejection_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn2shp {
namespace {

TEST(RejectionMessage, ShowsTheTokenAsWritten) {
    constexpr std::size_t kRestOfLine = std::string::npos;
    struct Case {
        const char* caption;
        TokenPlace place;  // line, column, length, end of text
        std::string lineText;
        std::string message;
    };
    const std::string longName(60, 'a');
    const std::vector<Case> cases = {
        {"one character", {3, 8, 1, false}, "1x + 1y > 3;", "town.txt:7: unexpected '>'"},
        {"the full stop the user wrote",
         {3, 14, 1, false},
         "r(x) :- id = 1.",
         "town.txt:7: unexpected '.'"},
        {"blanks inside a token", {3, 5, 3, false}, "r(x) : - 1", "town.txt:7: unexpected ': -'"},
        {"a string in double quotes",
         {3, 8, 5, false},
         "r(x) :- 'a b'",
         "town.txt:7: unexpected \"'a b'\""},
        {"a token that goes on",
         {3, 2, kRestOfLine, false},
         "r('North",
         "town.txt:7: unexpected \"'North...\""},
        {"a long name shortened",
         {3, 0, 60, false},
         longName,
         "town.txt:7: unexpected '" + longName.substr(0, 40) + "...'"},
        {"a UTF-8 character whole",
         {3, 1, 1, false},
         "r\xC3\xA9",
         "town.txt:7: unexpected '\xC3\xA9'"},
        {"a byte that is no character",
         {3, 1, 1, false},
         "r\xE9x",
         "town.txt:7: unexpected '\\xE9'"},
        {"a control character", {3, 0, 1, false}, "\x01", "town.txt:7: unexpected '\\x01'"},
        {"the end of the file", {9, 0, 0, true}, "", "town.txt:7: unexpected end of file"},
        {"a name cut off by the end",
         {3, 3, 1, true},
         " r(x",
         "town.txt:7: unexpected end of file after 'x'"},
        {"a string cut off by the end",
         {3, 2, 4, true},
         "r('abc",
         "town.txt:7: unexpected end of file after \"'abc\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describeRejection(c.place, "town.txt", 7, c.lineText), c.message) << c.caption;
    }
}

}  // namespace
}  // namespace vorn2shp
