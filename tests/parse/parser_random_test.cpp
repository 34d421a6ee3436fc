// Random texts, from garbage bytes to rules with a few tokens changed, must
// end in a verdict, and the verdict must be the one the grammar gives.
//
// The reference verdict is a regular expression over the token kinds that the
// scanner finds: the text is accepted when it is one or more complete rules
// followed by some start of a rule that the end of the text cuts off.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "parse/parser.h"
#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::readFile;
using testing::ScopedWorkDir;
using testing::writeFile;
using namespace std::string_literals;

// One letter per token kind: the alphabet of the reference expressions.
char kindLetter(TokenKind kind) {
    switch (kind) {
        case TokenKind::IDENTIFIER:
            return 'i';
        case TokenKind::STRING:
            return 's';
        case TokenKind::OPEN_PARAN:
            return 'o';
        case TokenKind::CLOSE_PARAN:
            return 'c';
        case TokenKind::COLON_DASH:
            return 'd';
        case TokenKind::EQUAL:
            return 'e';
        case TokenKind::COMMA:
            return 'm';
        case TokenKind::PERIOD:
            return 'p';
        case TokenKind::GREATER_EQUAL:
            return 'g';
        case TokenKind::LESS_EQUAL:
            return 'l';
        case TokenKind::END_OF_FILE:
            return '$';
        case TokenKind::FAILED:
            return '!';
        default:
            return 'x';
    }
}

// The token kinds of first.imd up to the first END_OF_FILE or FAILED.
std::string scannedKinds() {
    Scanner scanner;
    EXPECT_TRUE(scanner.openFiles());
    std::string letters;
    for (;;) {
        const char letter = kindLetter(scanner.nextToken());
        letters.push_back(letter);
        if (letter == '$' || letter == '!') {
            return letters;
        }
    }
}

std::string optional(const std::string& pattern) { return "(" + pattern + ")?"; }

const std::string kConstraint = "ii[gl]i";
const std::string kRule =
    "io[si](m[si])*cdiei"
    "m" +
    kConstraint + "(m" + kConstraint + ")*p";

// Every proper start of a rule, the empty one included.
std::string ruleStart() {
    std::string tail = optional("i" + optional("i" + optional("[gl]" + optional("i"))));
    tail = optional("m(" + kConstraint + "m)*" + tail);
    for (const char* letter : {"i", "e", "i", "d", "c"}) {
        tail = optional(letter + tail);
    }
    return optional("i" + optional("o([si]m)*" + optional("[si]" + tail)));
}

struct Verdict {
    bool accepted;
    bool cutOff;
};

Verdict referenceVerdict(const std::string& kinds) {
    static const std::regex complete("(" + kRule + ")+\\$");
    static const std::regex withStart("(" + kRule + ")+" + ruleStart() + "\\$");
    const bool accepted = std::regex_match(kinds, withStart);
    return {accepted, accepted && !std::regex_match(kinds, complete)};
}

const std::vector<std::string> kRuleTokens = {
    "tri", "(",   "id", ",", "'a b'", ")",   ":-",  "id", "=", "1", ",",
    "1x",  "+1y", ">=", "0", ",",     "-1x", "+1y", "<=", "4", ";"};
const std::vector<std::string> kStrayTokens = {"x", "-2", "id", "'s'", "(", ")",   ":-",       ",",
                                               "=", ">=", "<=", ";",   ":", "<",   ">",        "!",
                                               "/", "?",  ".",  "_",   "'", "\0"s, "\xC3\xA9", "%"};

// Whole rules with a few tokens dropped, added, swapped or cut off.
std::string mutatedRules(std::mt19937& random) {
    std::vector<std::string> tokens;
    const int rules = std::uniform_int_distribution<int>(1, 3)(random);
    for (int r = 0; r < rules; ++r) {
        tokens.insert(tokens.end(), kRuleTokens.begin(), kRuleTokens.end());
    }
    std::uniform_int_distribution<std::size_t> stray(0, kStrayTokens.size() - 1);
    const int changes = std::uniform_int_distribution<int>(0, 3)(random);
    for (int change = 0; change < changes && !tokens.empty(); ++change) {
        std::uniform_int_distribution<std::size_t> at(0, tokens.size() - 1);
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
            case 0:
                tokens.erase(tokens.begin() + static_cast<long>(at(random)));
                break;
            case 1:
                tokens.insert(tokens.begin() + static_cast<long>(at(random)),
                              kStrayTokens[stray(random)]);
                break;
            case 2:
                tokens[at(random)] = kStrayTokens[stray(random)];
                break;
            default:
                tokens.resize(at(random));
                break;
        }
    }
    const std::vector<std::string> separators = {"", " ", "\n", "\r\n", "\t"};
    std::uniform_int_distribution<std::size_t> separator(0, separators.size() - 1);
    std::string text;
    for (const std::string& token : tokens) {
        text += token + separators[separator(random)];
    }
    return text;
}

std::string randomBytes(std::mt19937& random) {
    std::string bytes(std::uniform_int_distribution<std::size_t>(0, 80)(random), '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& c : bytes) {
        c = static_cast<char>(byte(random));
    }
    return bytes;
}

TEST(ParserOnRandomText, GivesTheGrammarsVerdictAndNeverCrashes) {
    std::mt19937 random(20240607);
    int accepted = 0;
    int rejected = 0;
    int cutOff = 0;
    for (int i = 0; i < 1500; ++i) {
        ScopedWorkDir dir;
        const std::string text = i % 5 == 0 ? randomBytes(random) : mutatedRules(random);
        writeFile("first.imd", text);
        const Verdict expected = referenceVerdict(scannedKinds());

        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        bool valid = false;
        {
            Console console;
            Parser parser;
            valid = parser.initialize() && parser.parse(console);
        }
        ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();

        ASSERT_EQ(valid, expected.accepted) << '"' << text << '"';
        ASSERT_EQ(err.find("incomplete") != std::string::npos, expected.cutOff)
            << '"' << text << '"';
        if (valid) {
            const std::string second = readFile("second.imd");
            ASSERT_GE(second.size(), 6u);
            EXPECT_EQ(second.substr(second.size() - 6), "\0\r\n\0\r\n"s);
        }
        accepted += valid ? 1 : 0;
        rejected += valid ? 0 : 1;
        cutOff += expected.cutOff ? 1 : 0;
    }
    // The texts must reach every outcome for the comparison to mean anything.
    EXPECT_GT(accepted, 200);
    EXPECT_GT(rejected, 200);
    EXPECT_GT(cutOff, 20);
}

}  // namespace
}  // namespace vorn2shp
