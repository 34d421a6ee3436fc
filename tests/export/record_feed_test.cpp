// The records that the export parses ahead on a thread of its own: every
// non-empty line once, in file order, with its line number, across many
// batches, and the reading stopped at a line that no longer parses.
#include "export/record_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_file.h"
#include "export_fixture.h"

namespace vorn2shp::testing {
namespace {

struct Seen {
    std::size_t line;
    std::size_t vertices;
    double firstX;
    std::vector<std::string> values;
    bool operator==(const Seen& o) const {
        return line == o.line && vertices == o.vertices && firstX == o.firstX &&
               values == o.values;
    }
};

// Everything the feed hands over, and the fault line it reported (0 if none).
std::vector<Seen> feedAll(const std::string& path, std::size_t& faultLine) {
    LineReader file(LineReader::CarriageReturns::Kept);
    EXPECT_TRUE(file.open(path));
    RecordFeed feed(file);
    std::vector<Seen> seen;
    faultLine = 0;
    RecordBatch batch;
    while (feed.next(batch)) {
        for (std::size_t i = 0; i < batch.count; ++i) {
            const ParsedRecord& r = batch.records[i];
            seen.push_back({r.lineNumber, r.fields.x.size(), r.fields.x.empty() ? 0 : r.fields.x[0],
                            std::vector<std::string>(r.fields.values.begin(),
                                                     r.fields.values.end())});
        }
        faultLine = batch.faultLine != 0 ? batch.faultLine : faultLine;
        feed.recycle(std::move(batch));
    }
    feed.finish();
    EXPECT_EQ(file.error(), 0);
    return seen;
}

// Lines of very different sizes (up to a line of 200,000 points) and empty
// lines in between, so batches are cut by count and by size.
TEST(RecordFeed, HandsOverEveryRecordInOrderAcrossManyBatches) {
    ScopedWorkDir dir;
    std::string eff;
    std::vector<Seen> expected;
    std::size_t line = 0;
    for (int i = 0; i < 5000; ++i) {
        const std::size_t points = i == 1234 ? 200'000 : 1 + static_cast<std::size_t>(i % 7);
        std::string text;
        for (std::size_t p = 0; p < points; ++p) {
            text += "(" + std::to_string(i) + "," + std::to_string(p) + "),";
        }
        const std::string value = "v" + std::to_string(i);
        text += value + ",x y";
        eff += text + "\r\n";
        expected.push_back({++line, points, static_cast<double>(i), {value, "x y"}});
        if (i % 9 == 0) {
            eff += "\r\n";
            ++line;
        }
    }
    writeFile("output.eff.imd", eff);
    std::size_t faultLine = 0;
    EXPECT_EQ(feedAll("output.eff.imd", faultLine), expected);
    EXPECT_EQ(faultLine, 0u);
}

TEST(RecordFeed, StopsAtALineThatNoLongerParses) {
    ScopedWorkDir dir;
    std::string eff;
    for (int i = 1; i <= 3000; ++i) {
        eff += i == 2500 ? "no coordinates here\r\n" : "(1,2),a\r\n";
    }
    writeFile("output.eff.imd", eff);
    std::size_t faultLine = 0;
    const std::vector<Seen> seen = feedAll("output.eff.imd", faultLine);
    EXPECT_EQ(faultLine, 2500u);
    ASSERT_EQ(seen.size(), 2499u);
    EXPECT_EQ(seen.back().line, 2499u);
}

// A writer that gives up early must not leave the reading thread hanging.
TEST(RecordFeed, CanBeLeftHalfWay) {
    ScopedWorkDir dir;
    std::string eff;
    for (int i = 0; i < 20000; ++i) {
        eff += "(1,2),(3,4),(1,2),a\r\n";
    }
    writeFile("output.eff.imd", eff);
    LineReader file;
    ASSERT_TRUE(file.open("output.eff.imd"));
    RecordFeed feed(file);
    RecordBatch batch;
    ASSERT_TRUE(feed.next(batch));
    EXPECT_GT(batch.count, 0u);
}

}  // namespace
}  // namespace vorn2shp::testing
