#include "common/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::ScopedWorkDir;
using testing::readFile;
using testing::writeFile;

std::vector<std::string> readAllLines(const std::string& path) {
    LineReader reader;
    EXPECT_TRUE(reader.open(path));
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) {
        lines.push_back(line);
    }
    EXPECT_EQ(reader.error(), 0);
    return lines;
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(LineReader, SplitsLikeATextStreamReadToItsEnd) {
    const std::vector<LineCase> cases = {
        {"empty file", "", {""}},
        {"no final line end", "a\nb", {"a", "b"}},
        {"final line end", "a\nb\n", {"a", "b", ""}},
        {"CR LF ends", "a\r\nb\r\n", {"a", "b", ""}},
        {"lone CR stays", "a\rb\n\r", {"a\rb", "\r"}},
        {"empty lines", "\n\n", {"", "", ""}},
        {"NUL bytes kept", std::string("a\0b\n", 4), {std::string("a\0b", 3), ""}},
    };
    for (const LineCase& c : cases) {
        ScopedWorkDir dir;
        writeFile("in.txt", c.bytes);
        EXPECT_EQ(readAllLines("in.txt"), c.lines) << c.name;
    }
}

TEST(LineReader, CanKeepCarriageReturnsAndStartAgain) {
    ScopedWorkDir dir;
    writeFile("in.txt", "a\r\n\r\nb");
    LineReader reader(LineReader::CarriageReturns::Kept);
    ASSERT_TRUE(reader.open("in.txt"));
    std::vector<std::string> lines;
    std::string line;
    for (int pass = 0; pass < 2; ++pass) {
        while (reader.readLine(line)) {
            lines.push_back(line);
        }
        ASSERT_TRUE(reader.rewind());
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a\r", "\r", "b", "a\r", "\r", "b"}));
}

TEST(LineReader, ReadsLinesOfMegabytesWhole) {
    ScopedWorkDir dir;
    const std::string longLine(3'000'000, 'x');
    writeFile("in.txt", "a\n" + longLine + "\r\nb");
    EXPECT_EQ(readAllLines("in.txt"), (std::vector<std::string>{"a", longLine, "b"}));
}

TEST(LineReader, ReportsWhatCannotBeRead) {
    ScopedWorkDir dir;
    LineReader missing;
    EXPECT_FALSE(missing.open("missing.txt"));
    EXPECT_NE(missing.error(), 0);

    LineReader directory;
    ASSERT_TRUE(directory.open("."));  // a directory opens but cannot be read
    std::string line;
    EXPECT_FALSE(directory.readLine(line));
    EXPECT_NE(directory.error(), 0);
}

TEST(OutputFile, WritesCrLfLinesAndReportsAFullDisk) {
    ScopedWorkDir dir;
    OutputFile out;
    ASSERT_TRUE(out.open("out.imd"));
    out.writeLine("a");
    out.write("b");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(readFile("out.imd"), "a\r\nb");

    OutputFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    full.writeLine("lost");
    EXPECT_FALSE(full.close());
    EXPECT_NE(full.error(), 0);
}

}  // namespace
}  // namespace vorn2shp
