#include "parse/scanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::FileSizeLimit;
using testing::readFile;
using testing::ScopedWorkDir;
using testing::writeFile;
using namespace std::string_literals;
using K = TokenKind;

struct Token {
    TokenKind kind;
    std::string text;  // as echoed to second.imd, without the line end
};

// Scans `input` as first.imd up to the first END_OF_FILE or FAILED.
std::vector<TokenKind> scan(const std::string& input) {
    writeFile("first.imd", input);
    Scanner scanner;
    EXPECT_TRUE(scanner.openFiles());
    std::vector<TokenKind> kinds;
    for (;;) {
        kinds.push_back(scanner.nextToken());
        if (kinds.back() == K::END_OF_FILE || kinds.back() == K::FAILED || kinds.size() > 100) {
            break;
        }
    }
    EXPECT_TRUE(scanner.flushEcho());
    return kinds;
}

// second.imd as the tokens should leave it: each token's text and a CR LF,
// except that FAILED ends the file without a line end.
std::string expectedEcho(const std::vector<Token>& tokens) {
    std::string echo;
    for (const Token& token : tokens) {
        echo += token.text;
        if (token.kind != K::FAILED) {
            echo += "\r\n";
        }
    }
    return echo;
}

struct ScanCase {
    std::string input;
    std::vector<Token> tokens;
};

void expectScans(const std::vector<ScanCase>& cases) {
    for (const ScanCase& c : cases) {
        ScopedWorkDir dir;
        std::vector<TokenKind> kinds;
        for (const Token& token : c.tokens) {
            kinds.push_back(token.kind);
        }
        EXPECT_EQ(scan(c.input), kinds) << '"' << c.input << '"';
        EXPECT_EQ(readFile("second.imd"), expectedEcho(c.tokens)) << '"' << c.input << '"';
    }
}

const Token kEnd{K::END_OF_FILE, "\0"s};
const Token kPeriod{K::PERIOD, ";"};

Token identifier(const std::string& text) { return {K::IDENTIFIER, text}; }

TEST(Scanner, DropsWhiteSpaceEverywhere) {
    expectScans({
        {"", {kEnd}},
        {" \t\r\n\v\f", {kEnd}},
        {"a:-b;", {identifier("a"), {K::COLON_DASH, ":-"}, identifier("b"), kPeriod, kEnd}},
        {"a : - b ;", {identifier("a"), {K::COLON_DASH, ":-"}, identifier("b"), kPeriod, kEnd}},
        {"x > = 3 ;", {identifier("x"), {K::GREATER_EQUAL, ">="}, identifier("3"), kPeriod, kEnd}},
        {"a\tb\r\nc;", {identifier("abc"), kPeriod, kEnd}},
        {"2x 3y;", {identifier("2x3y"), kPeriod, kEnd}},
        {"'a b'", {{K::STRING, "'ab'"}, kEnd}},
    });
}

TEST(Scanner, RecognisesPunctuationAndPairs) {
    expectScans({
        {"::-", {{K::COLON, ":"}, {K::COLON_DASH, ":-"}, kEnd}},
        {"a:b;", {identifier("a"), {K::COLON, ":"}, identifier("b"), kPeriod, kEnd}},
        {"x>=3;", {identifier("x"), {K::GREATER_EQUAL, ">="}, identifier("3"), kPeriod, kEnd}},
        {"=<", {{K::EQUAL, "="}, {K::LESS, "<"}, kEnd}},
        {"<>", {{K::LESS, "<"}, {K::GREATER, ">"}, kEnd}},
        {"<=>=", {{K::LESS_EQUAL, "<="}, {K::GREATER_EQUAL, ">="}, kEnd}},
        {"(),;", {{K::OPEN_PARAN, "("}, {K::CLOSE_PARAN, ")"}, {K::COMMA, ","}, kPeriod, kEnd}},
        {"!/", {{K::NOT, "!"}, {K::DESCENDENT, "/"}, kEnd}},
        {":", {{K::COLON, ":"}, kEnd}},
    });
}

TEST(Scanner, SignsBeginIdentifiers) {
    const std::vector<Token> twoTerms = {identifier("2x"), identifier("-3y"), kPeriod, kEnd};
    expectScans({
        {"2x -3y;", twoTerms},
        {"2x-3y;", twoTerms},
        {"2x - 3y;", twoTerms},
        {"1.5e-3;", {identifier("1.5e"), identifier("-3"), kPeriod, kEnd}},
        {"x-y+z;", {identifier("x"), identifier("-y"), identifier("+z"), kPeriod, kEnd}},
        {"+;", {identifier("+"), kPeriod, kEnd}},
        {"--1;", {identifier("-"), identifier("-1"), kPeriod, kEnd}},
        {"x_1.2;", {identifier("x_1.2"), kPeriod, kEnd}},
    });
}

TEST(Scanner, StringsRunFromQuoteToQuote) {
    expectScans({
        {"'it''s'", {{K::STRING, "'it'"}, {K::STRING, "'s'"}, kEnd}},
        {"''", {{K::STRING, "''"}, kEnd}},
        {"'%?(;'", {{K::STRING, "'%?(;'"}, kEnd}},
        {"'\xC3\xA9'", {{K::STRING, "'\xC3\xA9'"}, kEnd}},
    });
}

TEST(Scanner, FailsWithoutConsumingWhatBeginsNoToken) {
    expectScans({
        {"'abc", {{K::FAILED, "'abc"}}},
        {"'ab c\n", {{K::FAILED, "'abc"}}},
        {"abc", {{K::FAILED, "abc"}}},
        {"abc\r\n\r\n", {{K::FAILED, "abc"}}},
        {"abc;", {identifier("abc"), kPeriod, kEnd}},
        {".5", {{K::FAILED, ""}}},
        {"_a", {{K::FAILED, ""}}},
        {"a;?b", {identifier("a"), kPeriod, {K::FAILED, ""}}},
        {"%", {{K::FAILED, ""}}},
        {"[", {{K::FAILED, ""}}},
        {"\x01", {{K::FAILED, ""}}},
        {"\x80", {{K::FAILED, ""}}},
        {"\xFF", {{K::FAILED, ""}}},
        {"a\xC3\xA9;", {identifier("a"), {K::FAILED, ""}}},
    });
}

TEST(Scanner, TakesANulByteForTheEndOfTheText) {
    expectScans({
        {"a;\0b;"s, {identifier("a"), kPeriod, kEnd}},
        {"a\0;"s, {{K::FAILED, "a"}}},
        {"'a\0'"s, {{K::FAILED, "'a"}}},
        {"\0"s, {kEnd}},
    });
}

TEST(Scanner, RepeatsEndOfFileWithOneLineEachTime) {
    ScopedWorkDir dir;
    writeFile("first.imd", "a;\n");
    Scanner scanner;
    ASSERT_TRUE(scanner.openFiles());
    EXPECT_EQ(scanner.nextToken(), K::IDENTIFIER);
    EXPECT_EQ(scanner.nextToken(), K::PERIOD);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(scanner.nextToken(), K::END_OF_FILE);
    }
    EXPECT_TRUE(scanner.flushEcho());
    EXPECT_EQ(readFile("second.imd"), "a\r\n;\r\n\0\r\n\0\r\n\0\r\n"s);
}

TEST(Scanner, ReadsTokensAcrossBlockBoundaries) {
    ScopedWorkDir dir;
    const std::string longName(700'000, 'n');
    const std::string spacedName = std::string(300'000, ' ') + "ab" + std::string(300'000, '\n');
    std::vector<Token> tokens = {identifier(longName), kPeriod, {K::STRING, "'ab'"}, kEnd};
    // A block is 2^18 bytes: here the first ends after the padding and the
    // first character of what follows it.
    const std::string pad(262'143, ' ');
    expectScans({
        {longName + ";'" + spacedName + "'", tokens},
        {pad + ":-x;", {{K::COLON_DASH, ":-"}, identifier("x"), kPeriod, kEnd}},
        {pad + "<\n\n=1;", {{K::LESS_EQUAL, "<="}, identifier("1"), kPeriod, kEnd}},
        {pad + ">x;", {{K::GREATER, ">"}, identifier("x"), kPeriod, kEnd}},
        {pad + "a b;", {identifier("ab"), kPeriod, kEnd}},
        {pad + ", ;", {{K::COMMA, ","}, kPeriod, kEnd}},
        {pad.substr(2) + "x, y;",
         {identifier("x"), {K::COMMA, ","}, identifier("y"), kPeriod, kEnd}},
    });
}

TEST(Scanner, ReportsFilesThatCannotBeUsed) {
    struct Case {
        const char* name;
        bool asDirectory;  // else the disk is full for it
        bool opens;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"first.imd", true, true, "vorn2shp: cannot read first.imd: Is a directory\n"},
        {"second.imd", true, false, "vorn2shp: cannot create second.imd: Is a directory\n"},
        {"second.imd", false, true, "vorn2shp: cannot write second.imd: File too large\n"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        // A first token too long for files that may not grow past 64 KiB.
        writeFile("first.imd", std::string(100'000, 'a') + ";");
        std::filesystem::remove(c.name);
        std::optional<FileSizeLimit> full;
        if (c.asDirectory) {
            std::filesystem::create_directory(c.name);
        } else {
            full.emplace(1 << 16);
        }
        ::testing::internal::CaptureStderr();
        {
            Scanner scanner;
            EXPECT_EQ(scanner.openFiles(), c.opens) << c.name;
            if (c.opens) {
                for (int i = 0; i < 3; ++i) {
                    scanner.nextToken();
                }
                scanner.flushEcho();
                EXPECT_TRUE(scanner.ioFailed()) << c.name;
            }
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    }

    ScopedWorkDir dir;
    Scanner scanner;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(scanner.openFiles());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vorn2shp: cannot read first.imd: No such file or directory\n");
    EXPECT_FALSE(testing::fileExists("second.imd"));
}

}  // namespace
}  // namespace vorn2shp
