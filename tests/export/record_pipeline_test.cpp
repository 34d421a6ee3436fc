// The record pipeline prepares lines on two threads and must still commit
// them one at a time in file order, stop where a commit or a prepare says
// so, and hold only a bounded number of lines ahead of the oldest.
#include "export/record_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

using Committed = std::vector<std::pair<std::size_t, std::string>>;

// Lines "L<n>" with empty lines between some of them; every seventh line is
// slow to prepare, so the other thread runs ahead of it. Lines of up to 50 KB
// make batches of one to a few lines.
std::string unevenFile(int lines, Committed& expected) {
    std::string text;
    std::size_t number = 0;
    for (int i = 0; i < lines; ++i) {
        if (i % 5 == 2) {
            text += "\r\n";
            ++number;
        }
        const std::string line = (i % 7 == 0 ? "slow" : "L") + std::to_string(i) +
                                 std::string(static_cast<std::size_t>(i % 3) * 25000, '.');
        text += line + "\r\n";
        expected.emplace_back(++number, line);
    }
    return text;
}

void prepareSlowly(NumberedLine& line, std::string& prepared, int&) {
    if (line.text.rfind("slow", 0) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    prepared = line.text;
}

class RecordPipelineTest : public ::testing::Test {
protected:
    LineReader open(const std::string& text) {
        writeFile("lines.txt", text);
        LineReader file;
        EXPECT_TRUE(file.open("lines.txt"));
        return file;
    }

    ScopedWorkDir dir_;
};

TEST_F(RecordPipelineTest, CommitsEveryLineInFileOrderOneAtATime) {
    Committed expected;
    LineReader file = open(unevenFile(300, expected));
    Committed committed;
    std::atomic<int> committing{0};
    bool overlapped = false;
    const auto commit = [&](const NumberedLine& line, std::string& prepared) {
        overlapped = overlapped || committing.fetch_add(1) != 0;
        committed.emplace_back(line.number, prepared);
        committing.fetch_sub(1);
        return true;
    };
    EXPECT_EQ((runRecordPipeline<std::string, int>(file, prepareSlowly, commit)),
              PipelineEnd::Finished);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(committed, expected);
}

TEST_F(RecordPipelineTest, NothingOrOneLine) {
    const struct {
        const char* text;
        std::size_t commits;
    } cases[] = {{"", 0}, {"\n\n\r\n", 0}, {"one", 1}, {"\n\none\n", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LineReader file = open(c.text);
        std::size_t commits = 0;
        const auto commit = [&](const NumberedLine&, std::string& prepared) {
            ++commits;
            EXPECT_EQ(prepared, "one");
            return true;
        };
        EXPECT_EQ((runRecordPipeline<std::string, int>(file, prepareSlowly, commit)),
                  PipelineEnd::Finished);
        EXPECT_EQ(commits, c.commits);
    }
}

// A commit that answers false is the last one, though the lines after it
// may already be prepared.
TEST_F(RecordPipelineTest, ACommitThatFailsIsTheLast) {
    Committed expected;
    LineReader file = open(unevenFile(100, expected));
    Committed committed;
    const auto commit = [&](const NumberedLine& line, std::string& prepared) {
        committed.emplace_back(line.number, prepared);
        return prepared.rfind("slow42", 0) != 0;
    };
    EXPECT_EQ((runRecordPipeline<std::string, int>(file, prepareSlowly, commit)),
              PipelineEnd::Stopped);
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(committed.back().second.rfind("slow42", 0), 0u);
    expected.resize(committed.size());
    EXPECT_EQ(committed, expected);
}

// What a prepare throws comes out of the pipeline in that line's turn:
// every line before it is committed, none after it.
TEST_F(RecordPipelineTest, AThrowingPrepareEndsTheWorkInItsTurn) {
    Committed expected;
    LineReader file = open(unevenFile(100, expected));
    const auto prepare = [](NumberedLine& line, std::string& prepared, int& scratch) {
        if (line.text.rfind("L61", 0) == 0) {
            throw std::bad_alloc();
        }
        prepareSlowly(line, prepared, scratch);
    };
    Committed committed;
    const auto commit = [&](const NumberedLine& line, std::string& prepared) {
        committed.emplace_back(line.number, prepared);
        return true;
    };
    EXPECT_THROW((runRecordPipeline<std::string, int>(file, prepare, commit)), std::bad_alloc);
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(committed.back().second.rfind("L60", 0), 0u);
    expected.resize(committed.size());
    EXPECT_EQ(committed, expected);
}

// While the first line is held up, the other thread prepares only a few
// batches of the lines after it: memory does not grow with the file.
TEST_F(RecordPipelineTest, OnlyAFewLinesAreHeldBehindASlowOne) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    LineReader file = open(text);
    std::atomic<bool> firstCommitted{false};
    std::atomic<int> preparedBeforeIt{0};
    const auto prepare = [&](NumberedLine& line, std::string& prepared, int&) {
        if (line.number == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } else if (!firstCommitted) {
            ++preparedBeforeIt;
        }
        prepared = line.text;
    };
    const auto commit = [&](const NumberedLine&, std::string&) {
        firstCommitted = true;
        return true;
    };
    EXPECT_EQ((runRecordPipeline<std::string, int>(file, prepare, commit)), PipelineEnd::Finished);
    EXPECT_LT(preparedBeforeIt, 10000);
}

}  // namespace
}  // namespace vorn2shp::testing
