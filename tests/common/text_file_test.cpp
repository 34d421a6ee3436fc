#include "common/text_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <string_view>
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

// Lines of every short length, some ended by CR LF, across many buffer
// fills: each line comes back whole wherever a fill cuts it.
TEST(LineReader, SplitsMillionsOfShortLinesAcrossBufferFills) {
    ScopedWorkDir dir;
    std::string bytes;
    std::vector<std::string> expected;
    for (int i = 0; i < 200'000; ++i) {
        std::string line(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26));
        if (i % 11 == 0) {
            line += '\r';  // a CR inside the line, not in front of the line feed
            line += 'z';
        }
        expected.push_back(line);
        bytes += line + (i % 3 == 0 ? "\r\n" : "\n");
    }
    expected.push_back("");
    writeFile("in.txt", bytes);
    EXPECT_EQ(readAllLines("in.txt"), expected);

    LineReader reader(LineReader::CarriageReturns::Kept);
    ASSERT_TRUE(reader.open("in.txt"));
    std::string_view view;
    std::size_t n = 0;
    std::size_t withCr = 0;
    while (reader.readLine(view)) {
        withCr += !view.empty() && view.back() == '\r' ? 1 : 0;
        ++n;
    }
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(withCr, 200'000u / 3 + 1);
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

// Files larger than the buffer are written behind the caller's back: the
// bytes must still arrive whole and in order, a flush must put everything
// on disk before it returns, and a failure must still reach the caller.
TEST(OutputFile, WritesLargeFilesInOrderAndCompleteAtEveryFlush) {
    ScopedWorkDir dir;
    OutputFile out;
    ASSERT_TRUE(out.open("big.imd"));
    std::string expected;
    const std::string block(1'000'003, 'B');
    for (int i = 0; i < 200'000; ++i) {
        const std::string line = std::to_string(i);
        out.writeLine(line);
        expected += line + "\r\n";
        if (i % 50'000 == 0) {
            out.write(block);
            expected += block;
            ASSERT_TRUE(out.flush());
            EXPECT_EQ(readFile("big.imd"), expected) << "after line " << i;
        }
    }
    EXPECT_TRUE(out.close());
    EXPECT_EQ(readFile("big.imd"), expected);

    OutputFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    for (int i = 0; i < 5; ++i) {
        full.write(block);
    }
    EXPECT_FALSE(full.flush());
    EXPECT_EQ(full.error(), ENOSPC);
    full.write(block);
    EXPECT_FALSE(full.close());
    EXPECT_EQ(full.error(), ENOSPC);

    // Left without close(), a failing file still ends without hanging.
    OutputFile abandoned;
    ASSERT_TRUE(abandoned.open("/dev/full"));
    abandoned.write(block);
}

}  // namespace
}  // namespace vorn2shp
