// A text parsed in two parts, one per core, must give exactly what the parse
// in one part gives: verdict, transcript, warnings, the place of a rejection
// and every byte of second.imd, wherever the split lands. Each case is split
// in turn after every ';' it holds, and says at which of them the two parts
// hold together ('+') and where the text is parsed again in one part ('-').
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "parse/parser.h"
#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::readFile;
using testing::ScopedWorkDir;
using testing::unnamedFilesWorkIn;
using testing::writeFile;
using namespace std::string_literals;

const std::string R = "r(id, x) :- id = 1, 1x + 1y >= 0, -1x + 2y <= 4;";

struct Case {
    const char* what;
    std::string text;
    const char* held;  // per ';' of the text, in order
};

const std::vector<Case> kCases = {
    {"rules one per line", R + "\n" + R + "\n" + R + "\n", "+++"},
    {"rules without white space between them", R + R + R, "+++"},
    {"a single rule: the later part is empty", R, "+"},
    {"CR LF line ends and blank lines", R + "\r\n\r\n  \t" + R + "\r\n", "++"},
    {"a ';' inside a string", "r('a;b', x) :- id = 1, 1x + 1y >= 0;\n" + R, "-++"},
    {"a ';' inside a string that the end cuts off", R + "\nr('a;b", "--"},
    {"the last rule cut off", R + "\n" + R + "\nr(id, x) :- id =", "++"},
    {"the last rule cut off just after the split", R + "\nr(", "+"},
    {"a NUL byte in the earlier part", R + "\n\0"s + R + "\n" + R, "+--"},
    {"a NUL byte right after the split", R + "\0"s + R, "+-"},
    {"a NUL byte in the later part", R + "\n" + R + "\0r(?"s, "++"},
    {"a rejection in the later part", R + "\n" + R + "\nr(x) :- ;\n" + R, "----"},
    {"a rejection in the earlier part", "r(x) :- ;\n" + R + "\n" + R, "---"},
    {"a rule that breaks off at a ';' before the split", R + "\nr(x) :- id ;" + R, "---"},
    {"a character that begins no token after the split", R + "\n#" + R, "--"},
    {"two ';' in a row", R + ";" + R, "---"},
};

struct Outcome {
    bool accepted = false;
    bool inTwoParts = false;
    std::string out;
    std::string err;
    std::string second;
    TokenPlace place;
    std::vector<std::string> files;  // what the working directory holds after
};

std::vector<std::string> filesHere() {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("."), closedir);
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    return names;
}

Outcome parseWith(const std::string& text, ParseSplit split) {
    ScopedWorkDir dir;
    writeFile("first.imd", text);
    Outcome outcome;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        Console console;
        Parser parser(split);
        outcome.accepted = parser.initialize() && parser.parse(console);
        outcome.inTwoParts = parser.parsedInTwoParts();
        if (!outcome.accepted) {
            outcome.place = parser.rejectedAt();
        }
    }
    outcome.out = ::testing::internal::GetCapturedStdout();
    outcome.err = ::testing::internal::GetCapturedStderr();
    outcome.second = readFile("second.imd");
    outcome.files = filesHere();
    std::sort(outcome.files.begin(), outcome.files.end());
    return outcome;
}

// Whether the work directories can hold the later part's tokens.
bool unnamedFilesHere() {
    const ScopedWorkDir dir;
    return unnamedFilesWorkIn(".");
}

// Never split: the parse in one part.
constexpr ParseSplit kOnePart{TextPart::kToTheEnd, 0.5};

// Splits just after the ';' at `semicolon`.
ParseSplit splitAfter(std::size_t semicolon, std::size_t size) {
    return ParseSplit{0, (static_cast<double>(semicolon) + 0.5) / static_cast<double>(size)};
}

TEST(ParserInTwoParts, GivesExactlyWhatTheParseInOnePartGives) {
    const bool splits = unnamedFilesHere();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const Outcome one = parseWith(c.text, kOnePart);
        ASSERT_FALSE(one.inTwoParts);
        std::string held;
        for (std::size_t at = c.text.find(';'); at != std::string::npos;
             at = c.text.find(';', at + 1)) {
            SCOPED_TRACE("split after byte " + std::to_string(at));
            const Outcome two = parseWith(c.text, splitAfter(at, c.text.size()));
            held.push_back(two.inTwoParts ? '+' : '-');
            EXPECT_EQ(two.accepted, one.accepted);
            EXPECT_EQ(two.out, one.out);
            EXPECT_EQ(two.err, one.err);
            EXPECT_EQ(two.second, one.second);
            EXPECT_EQ(two.place.line, one.place.line);
            EXPECT_EQ(two.place.column, one.place.column);
            EXPECT_EQ(two.place.length, one.place.length);
            EXPECT_EQ(two.place.endOfText, one.place.endOfText);
            // The later part's tokens went through a file that leaves no trace.
            EXPECT_EQ(two.files, (std::vector<std::string>{"first.imd", "second.imd"}));
        }
        // Without files that have no name, every text is parsed in one part.
        EXPECT_EQ(held, splits ? std::string(c.held) : std::string(held.size(), '-'));
    }
}

TEST(ParserInTwoParts, SplitsOnlyTextsOfTheGivenSize) {
    if (!unnamedFilesHere()) {
        GTEST_SKIP() << "the file system of the work directories makes no files without a name";
    }
    const std::string text = R + "\n" + R + "\n";
    EXPECT_TRUE(parseWith(text, ParseSplit{text.size(), 0.3}).inTwoParts);
    EXPECT_FALSE(parseWith(text, ParseSplit{text.size() + 1, 0.3}).inTwoParts);
    // No ';' from the split point on: one part.
    EXPECT_FALSE(parseWith(text, ParseSplit{0, 0.99}).inTwoParts);
}

}  // namespace
}  // namespace vorn2shp
