#include "parse/parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::readFile;
using testing::ScopedWorkDir;
using testing::writeFile;
using namespace std::string_literals;

const std::string kAcceptedOut =
    "Parsing the VORN Format File ....\nParsing Done : Valid VORN File ...\n";
const std::string kRejectedOut = "Parsing the VORN Format File ....\nInvaild VORN File \n";
const std::string kCutOffWarning = "vorn2shp: the last rule is incomplete and was ignored\n";

struct ParseRun {
    bool accepted = false;
    std::string out;
    std::string err;
    std::string second;  // second.imd, read while the parser still holds it open
};

// Parses `text` as first.imd in the current directory.
ParseRun parseText(const std::string& text) {
    writeFile("first.imd", text);
    ParseRun run;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Parser parser;
    const bool initialized = parser.initialize();
    Console console;
    run.accepted = initialized && parser.parse(console);
    run.out = ::testing::internal::GetCapturedStdout();
    run.err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(initialized);
    run.second = readFile("second.imd");
    return run;
}

const std::string kRule = "tri(id, x, y) :- id = 1, 1x + 1y >= 0, -1x + 1y <= 4, 1x + 2y <= 8;";
const std::string kTwoRules = kRule + "\n" + kRule + "\n";

std::string ruleWith(const std::string& constraint) {
    return "r(x) :- id = 1, " + constraint + ";";
}

TEST(Parser, AcceptsWellFormedTexts) {
    const std::vector<std::string> texts = {
        kRule,
        kTwoRules,
        "tri ( i d , x , y ) : - i\nd = 1 ,\n1x+1y>=0,-1x+1y<=4,1x+2y<=8\n;\n",
        "r('a b', x) :- id = 1, 1x + 1y >= 0;",
        "r(x) :- k = abc, x + y >= 1;",
        ruleWith("1x + 1y <= 3"),
        ruleWith("1x-1y>=3"),
        ruleWith("x - y >= -3"),
        kTwoRules + "r(id x) :- id = 3, 1x + 1y >= 0;",
        kRule + "\0r(garbage ?"s,
    };
    for (const std::string& text : texts) {
        ScopedWorkDir dir;
        const ParseRun run = parseText(text);
        EXPECT_TRUE(run.accepted) << text;
        EXPECT_EQ(run.out, kAcceptedOut) << text;
        EXPECT_EQ(run.err, "") << text;
        const std::string twoEnds = "\0\r\n\0\r\n"s;
        EXPECT_EQ(run.second.substr(run.second.size() - twoEnds.size()), twoEnds) << text;
    }
}

TEST(Parser, AcceptsACutOffLastRuleWithAWarning) {
    const std::vector<std::string> lastLines = {
        "r(id,",
        "r(",
        "r(id, x) :-",
        "r('a', x) :- id =",
        "r(id) :- id = 1, 1x + 1y >=",
        "r(id) :- id = 1, 1x + 1y >= 0,",
    };
    for (const std::string& last : lastLines) {
        ScopedWorkDir dir;
        const ParseRun run = parseText(kTwoRules + last + "\n");
        EXPECT_TRUE(run.accepted) << last;
        EXPECT_EQ(run.out, kAcceptedOut) << last;
        EXPECT_EQ(run.err, kCutOffWarning) << last;
    }
}

TEST(Parser, RejectsTextsOutsideTheGrammar) {
    const std::vector<std::string> texts = {
        "",
        " \r\n\t",
        "r(id) :- id = 1;",
        "r() :- id = 1, 1x + 1y >= 0;",
        "r(x) :- 1x + 1y >= 0, id = 1;",
        "r(x) :- id = 1, 1x + 1y >= 0,;",
        "r(x, ) :- id = 1, 1x + 1y >= 0;",
        "r(x) - id = 1, 1x + 1y >= 0;",
        "r(x) :- id = 1 1x + 1y >= 0;",
        ruleWith("1x >= 3"),
        ruleWith("1x 1y >= 3"),
        ruleWith("1x + 1y + 1z >= 3"),
        ruleWith("1x + 1y > 3"),
        ruleWith("1x + 1y < 3"),
        ruleWith("1x + 1y = 3"),
        ruleWith("1x + 1y =< 3"),
        ruleWith("1x + 1y >= 'three'"),
        "r(id,",
        kTwoRules + "r(id, x",
        kTwoRules + "r(id) :- id = 1, x + y >= 1",
        kTwoRules + "r(id, x) :- id = 3, 1x >= 0;",
        kTwoRules + "r(id, x) :- id = 3, 1x >= 0;" + kRule,
        kRule + "?",
        kRule + "#",
        "r(x) :- id = 1, x + y >= 1 ?;",
        "r(x) : id = 1, x + y >= 1;",
        "r(x) :- id = 1, x + y >= 1; !",
        "r(x) :- id = 1, x + y >= 1; /",
        "r(x) :- id = 1, x + y >= 1; <",
        "r(x) :- id = 1, x + y >= 1.",
        "r(x) :- id = 1, x + y >= 1;;",
        "\0"s + kRule,
    };
    for (const std::string& text : texts) {
        ScopedWorkDir dir;
        const ParseRun run = parseText(text);
        EXPECT_FALSE(run.accepted) << text;
        EXPECT_EQ(run.out, kRejectedOut) << text;
        // Where the text stops being valid is told by the caller, at the
        // line of the user's own file.
        EXPECT_EQ(run.err, "") << text;
    }
}

TEST(Parser, TellsWhereTheTokenThatDoesNotFitStands) {
    constexpr std::size_t kRestOfLine = std::string::npos;
    struct Case {
        std::string text;
        TokenPlace place;  // line, column, length, end of text
    };
    const std::string farOut(300'000, ' ');  // beyond the first block read
    const std::vector<Case> cases = {
        {"", {1, 0, 0, true}},
        {"r(x) :- id = 1,\n", {2, 0, 0, true}},
        {"r(x) :- id = 1,\n\n1x + 1y > 3;", {3, 8, 1, false}},
        {"a;\n?", {1, 1, 1, false}},
        {"r(x) :- id = 1, 1x + 1y >= 3; ?", {1, 30, 1, false}},
        {"r(x) :- 'a b', 1x;", {1, 8, 5, false}},
        {"r(x) :- id = 1, 1x + 1y >= 3 :\n- 1;", {1, 29, kRestOfLine, false}},
        {"r(x) x y z :- id = 1;", {1, 5, 5, false}},
        {kRule + "\n\n r(x", {3, 3, 1, true}},
        {kRule + "\n r('ab\n\n", {2, 3, 3, true}},
        {"r(x)\n" + farOut + ">= 1;", {2, 300'000, 2, false}},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        writeFile("first.imd", c.text);
        ::testing::internal::CaptureStdout();
        Console console;
        Parser parser;
        ASSERT_TRUE(parser.initialize());
        EXPECT_FALSE(parser.parse(console)) << c.text;
        ::testing::internal::GetCapturedStdout();
        const TokenPlace place = parser.rejectedAt();
        SCOPED_TRACE(c.text.substr(0, 80));
        EXPECT_EQ(place.line, c.place.line);
        EXPECT_EQ(place.column, c.place.column);
        EXPECT_EQ(place.length, c.place.length);
        EXPECT_EQ(place.endOfText, c.place.endOfText);
    }
}

// The token lines of the example rule, as the translator reads them.
const std::vector<std::string> kExampleLines = {
    "tri", "(", "id", ",",   "x",   ",",  "y", ")", ":-", "id",  "=",  "1", ",", "1x",  "+1y",
    ">=",  "0", ",",  "-1x", "+1y", "<=", "4", ",", "1x", "+2y", "<=", "8", ";", "\0"s, "\0"s,
};

std::string crLfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

TEST(Parser, WritesOneTokenPerLineOfSecondImd) {
    ScopedWorkDir dir;
    EXPECT_EQ(parseText(kRule).second, crLfLines(kExampleLines));
    // Spacing and line breaks change nothing, not even inside names and ":-".
    EXPECT_EQ(parseText("tri (i d,\tx ,y)\r\n: -id=1,1x+1y>=0,-1x+1y<=4,1x\n+2y<=8;\n").second,
              crLfLines(kExampleLines));
}

TEST(Parser, KeepsTheTokensOfACutOffRule) {
    ScopedWorkDir dir;
    const std::vector<std::string> ruleLines(kExampleLines.begin(), kExampleLines.end() - 2);
    std::vector<std::string> expected = ruleLines;
    expected.insert(expected.end(), ruleLines.begin(), ruleLines.end());
    for (const char* line : {"r", "(", "id", ","}) {
        expected.emplace_back(line);
    }
    expected.insert(expected.end(), {"\0"s, "\0"s});
    EXPECT_EQ(parseText(kTwoRules + "r(id,").second, crLfLines(expected));
}

TEST(Parser, LeavesTheTokensUpToTheFailureInSecondImd) {
    ScopedWorkDir dir;
    EXPECT_EQ(parseText("r(x) :- id = 1, 1x + 1y > 3;").second,
              "r\r\n(\r\nx\r\n)\r\n:-\r\nid\r\n=\r\n1\r\n,\r\n1x\r\n+1y\r\n>\r\n");
    EXPECT_EQ(parseText("r('abc").second, "r\r\n(\r\n'abc");
}

TEST(Parser, ParsesAMillionRulesWithoutGrowingTheStack) {
    ScopedWorkDir dir;
    const std::string rule = "r(a):-b=c,d+e<=f;\n";
    constexpr std::size_t kRules = 1'000'000;
    std::string text;
    text.reserve(rule.size() * kRules);
    for (std::size_t i = 0; i < kRules; ++i) {
        text += rule;
    }
    writeFile("first.imd", text);
    text.clear();
    text.shrink_to_fit();

    ::testing::internal::CaptureStdout();
    bool accepted = false;
    {
        Console console;
        Parser parser;
        accepted = parser.initialize() && parser.parse(console);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kAcceptedOut);
    EXPECT_TRUE(accepted);
    // 14 tokens of 17 characters in all, each with CR LF, then the two end lines.
    const std::string second = readFile("second.imd");
    EXPECT_EQ(second.size(), kRules * (17 + 14 * 2) + 6);
    const std::string tail = "<=\r\nf\r\n;\r\n\0\r\n\0\r\n"s;
    EXPECT_EQ(second.substr(second.size() - tail.size()), tail);
}

}  // namespace
}  // namespace vorn2shp
