// Validation of output.eff.imd through the export entry point: the console
// text of a rejected file, its outcome, and that nothing is created.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "export_fixture.h"

namespace vorn2shp::testing {
namespace {

class ExportValidationTest : public ExportTest {
protected:
    bool anyOutputExists() const {
        return fileExists("out.shp") || fileExists("out.shx") || fileExists("out.dbf");
    }
};

struct LineCase {
    const char* caption;
    const char* line;
    const char* message;  // nullptr when the line passes
};

// Coordinates are the leading run of pairs "(x" "y)"; the first item that
// does not continue the run starts the values, and everything after it is
// a value. Where the run holds closed rings, the coordinates end with the
// last of them: whatever follows, however it breaks off, is values. Cases
// marked "now" used to come out otherwise.
const LineCase kLineCases[] = {
    {"one vertex without values", "(1,2)", nullptr},
    {"closed outline with values and terminator", "(1,2),(3,4),(1,2),oak,12.", nullptr},
    {"empty items do not exist", ",,(1,2),,", nullptr},
    {"now: a lone closing item after the run is a value", "(1,2),3)", nullptr},
    {"now: parentheses after the first value are values", "(1,2),oak,(3,4)", nullptr},
    {"value with parentheses", "(1,2),(3,4),Lake (North),12", nullptr},
    {"both parentheses in the first item", "(1 2),x", "Improper coordinate formatting"},
    {"both parentheses in a closing item", "(1,(2),x", "Improper coordinate formatting"},
    {"first item holds no parenthesis", "oak,(1,2)", "No coordinate information found"},
    {"no parenthesis at all", "oak,12", "No coordinate information found"},
    {"a full stop on a line of its own", ".", "No coordinate information found"},
    {"a line of only a carriage return", "\r", "No coordinate information found"},
    {"value inside a pair", "(1,oak,2)", "No closing right parenthesis"},
    {"opening item after an opening item", "(1,(2,3)", "No closing right parenthesis"},
    {"later pair broken by a value", "(1,2),(3,oak", "No closing right parenthesis"},
    {"a pair left open by the last item is its last value", "(1,2),(3", nullptr},
    {"a pair left open after a value is a value", "(1,2),oak,(3", nullptr},
    {"a pair broken by an open one", "(1,2),(3,(4", "No closing right parenthesis"},
    {"first pair left open", "(1", "No closing right parenthesis"},
    {"now: a pair broken after a closed ring is values", "(0,0),(4,0),(4,4),(0,0),(3,oak", nullptr},
    {"now: a pair broken by an open one after a closed ring is values",
     "(0,0),(4,0),(4,4),(0,0),(3,(4", nullptr},
    {"now: both parentheses after a closed ring are values", "(0,0),(4,0),(4,4),(0,0),(1,(2),x",
     nullptr},
    {"a ring that never closes keeps the checks", "(0,0),(4,0),(4,4),(3,oak",
     "No closing right parenthesis"},
};

TEST_F(ExportValidationTest, EachLineFormPassesOrFailsWithItsMessage) {
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.caption);
        std::remove("out.shp");
        std::remove("out.shx");
        std::remove("out.dbf");
        const ExportRun result = run(c.line);
        if (c.message == nullptr) {
            EXPECT_TRUE(result.ok);
            EXPECT_EQ(result.out, "");
            EXPECT_TRUE(anyOutputExists());
        } else {
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.out, std::string(c.message) + ": line 1. Input file is not valid");
            EXPECT_FALSE(anyOutputExists());
        }
    }
}

TEST_F(ExportValidationTest, EmptyLinesAreCountedButNotChecked) {
    const ExportRun result = run("(1,2),oak\r\n\n\n(1,oak,2)\r\n(1 2)\r\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "No closing right parenthesis: line 4. Input file is not valid");
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(anyOutputExists());
}

TEST_F(ExportValidationTest, LinesAfterOneEndingInAFullStopAreStillValidated) {
    const ExportRun result = run("(1,2),(3,4),(1,2),oak,12.\n(1,2),elm\noak,12");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "No coordinate information found: line 3. Input file is not valid");
}

// The lines are checked two at a time, a long one on one thread while the
// other runs ahead: the fault reported is still the first in the file, and
// a later one, which the faster thread may find first, is not.
TEST_F(ExportValidationTest, TheFirstFaultIsReportedWhereverItFalls) {
    const struct {
        const char* caption;
        int faultLine;     // lines 1 to faultLine - 1 pass, long and short ones
        const char* tail;  // from the faulty line on
        const char* message;
    } cases[] = {
        {"right after a long line, later faults behind it", 70, "(1,oak,2)\r\n(1,2),ok\r\noak\r\n",
         "No closing right parenthesis: line 70. "},
        {"on the last line, without a line end", 90, "(1 2),x",
         "Improper coordinate formatting: line 90. "},
        {"on the first line", 1, "oak\r\n(1,oak,2)\r\n",
         "No coordinate information found: line 1. "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        std::string eff;
        for (int line = 1; line < c.faultLine; ++line) {
            eff += outlinePairs(line % 3 == 0 ? 3000 : 4, line, true) + "v" + std::to_string(line) +
                   "\r\n";
        }
        const ExportRun result = run(eff + c.tail);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.out, std::string(c.message) + "Input file is not valid");
        EXPECT_EQ(result.err, "");
        EXPECT_FALSE(anyOutputExists());
    }
}

TEST_F(ExportValidationTest, FileOfOnlyLineFeedsPasses) {
    const ExportRun result = run("\n\n\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(anyOutputExists());
}

}  // namespace
}  // namespace vorn2shp::testing
