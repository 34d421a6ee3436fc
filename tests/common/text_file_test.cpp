#include "common/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"
#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::fileExists;
using testing::FileSizeLimit;
using testing::readFile;
using testing::ScopedWorkDir;
using testing::unnamedFilesWorkIn;
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
    EXPECT_EQ(missing.error(), ENOENT);

    LineReader directory;
    EXPECT_FALSE(directory.open("."));
    EXPECT_EQ(directory.error(), EISDIR);
    std::string line;
    EXPECT_FALSE(directory.readLine(line));

    // A FIFO without a writer would hold a blocking open for good, and a
    // device may never end: both are refused at once.
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    for (const char* path : {"pipe", "/dev/zero"}) {
        LineReader stream;
        EXPECT_FALSE(stream.open(path)) << path;
        EXPECT_EQ(stream.error(), kNotARegularFile) << path;
    }
}

TEST(OutputFile, WritesCrLfLinesAndReportsAFullDisk) {
    ScopedWorkDir dir;
    OutputFile out;
    ASSERT_TRUE(out.open("out.imd"));
    out.writeLine("a");
    out.write("b");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(readFile("out.imd"), "a\r\nb");

    const FileSizeLimit noRoom(0);
    OutputFile full;
    ASSERT_TRUE(full.open("full.imd"));
    full.writeLine("lost");
    EXPECT_FALSE(full.close());
    EXPECT_EQ(full.error(), EFBIG);
}

// Whatever stands at the name of a file to be written, only a regular file
// is written, and nothing is written through a link.
TEST(OutputFile, NeverWritesThroughALinkOrIntoAStream) {
    ScopedWorkDir dir;
    writeFile("victim", "the user's data");
    ASSERT_EQ(symlink("victim", "linked.imd"), 0);
    ASSERT_EQ(symlink("nowhere/new", "dangling.imd"), 0);
    ASSERT_EQ(mkfifo("pipe.imd", 0600), 0);
    const std::pair<const char*, int> refused[] = {
        {"linked.imd", kSymbolicLink},
        {"dangling.imd", kSymbolicLink},
        {"pipe.imd", kNotARegularFile},  // no reader: a blocking open would wait for one
        {"/dev/full", kNotARegularFile},
    };
    for (const auto& [path, error] : refused) {
        OutputFile out;
        EXPECT_FALSE(out.open(path)) << path;
        EXPECT_EQ(out.error(), error) << path;
        EXPECT_FALSE(out.close()) << path;
    }
    EXPECT_EQ(readFile("victim"), "the user's data");
    EXPECT_FALSE(fileExists("nowhere"));

    // A file left at the name is replaced, not emptied: a hard link to it
    // keeps the earlier text under its other name (the run checks its
    // inputs against such names beforehand).
    writeFile("old.imd", "earlier text, longer than the new");
    ASSERT_EQ(link("old.imd", "elsewhere"), 0);
    OutputFile out;
    ASSERT_TRUE(out.open("old.imd"));
    out.write("new");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(readFile("old.imd"), "new");
    EXPECT_EQ(readFile("elsewhere"), "earlier text, longer than the new");
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

    const FileSizeLimit noRoom(100'000);
    OutputFile full;
    ASSERT_TRUE(full.open("full.imd"));
    for (int i = 0; i < 5; ++i) {
        full.write(block);
    }
    EXPECT_FALSE(full.flush());
    EXPECT_EQ(full.error(), EFBIG);
    full.write(block);
    EXPECT_FALSE(full.close());
    EXPECT_EQ(full.error(), EFBIG);

    // Left without close(), a failing file still ends without hanging.
    OutputFile abandoned;
    ASSERT_TRUE(abandoned.open("abandoned.imd"));
    abandoned.write(block);
}

// A file without a name gathers text that is later put behind another
// file's: within the kernel on one file system, by reading and writing
// across two (/dev/shm is another where it exists).
TEST(OutputFile, AppendsAnUnnamedFileOrAFileOnAnotherFileSystem) {
    ScopedWorkDir dir;
    if (!unnamedFilesWorkIn(".")) {
        GTEST_SKIP() << "this file system makes no files without a name";
    }
    std::string tailText;
    for (int i = 0; tailText.size() < 700'000; ++i) {
        tailText += std::to_string(i) + "\r\n";
    }
    // The text gathered in `directory`, put behind `head` in `name`.
    const auto appendedThrough = [&tailText](const char* directory, const char* name,
                                             const std::string& head) {
        OutputFile tail;
        EXPECT_TRUE(tail.openUnnamed(directory));
        tail.write(tailText);  // partly still in the buffer: the append flushes it
        OutputFile out;
        EXPECT_TRUE(out.open(name));
        out.write(head);
        EXPECT_TRUE(out.appendContentsOf(tail));
        EXPECT_TRUE(out.close());
        return readFile(name) == head + tailText;
    };
    EXPECT_TRUE(appendedThrough(".", "second.imd", "head\r\n"));

    struct stat here {};
    struct stat there {};
    if (stat(".", &here) == 0 && stat("/dev/shm", &there) == 0 && here.st_dev != there.st_dev &&
        unnamedFilesWorkIn("/dev/shm")) {
        EXPECT_TRUE(appendedThrough("/dev/shm", "across.imd", "x"));
    }

    OutputFile tail;
    ASSERT_TRUE(tail.openUnnamed("."));
    tail.write(tailText);
    ASSERT_TRUE(tail.flush());  // the limit is for the file appended to
    const FileSizeLimit noRoom(100'000);
    OutputFile full;
    ASSERT_TRUE(full.open("full.imd"));
    EXPECT_FALSE(full.appendContentsOf(tail));
    EXPECT_EQ(full.error(), EFBIG);
}

}  // namespace
}  // namespace vorn2shp
