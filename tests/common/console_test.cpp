#include "common/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn2shp {
namespace {

// What one stage prints, in order: a progress line, a failure line, or a
// piece of a failure text.
struct Print {
    enum Kind { Progress, FailureLine, FailureText } kind;
    std::string text;
};

struct ConsoleCase {
    const char* name;
    std::vector<Print> prints;
    std::string transcriptOut;  // stdout with the transcript (stderr stays empty)
    std::string quietErr;       // stderr when quiet (stdout stays empty)
};

void printAll(Console::Mode mode, const std::vector<Print>& prints) {
    Console console(mode);
    for (const Print& print : prints) {
        switch (print.kind) {
            case Print::Progress:
                console.progress(print.text);
                break;
            case Print::FailureLine:
                console.failureLine(print.text);
                break;
            case Print::FailureText:
                console.failureText(print.text);
                break;
        }
    }
}

TEST(Console, QuietDropsTheTranscriptAndGivesFailuresOnStderr) {
    const std::vector<ConsoleCase> cases = {
        {"progress only",
         {{Print::Progress, "Parsing ...."}, {Print::Progress, ""}},
         "Parsing ....\n\n",
         ""},
        {"a failure line keeps its trailing blank",
         {{Print::Progress, "Parsing ...."}, {Print::FailureLine, "Invaild VORN File "}},
         "Parsing ....\nInvaild VORN File \n",
         "vorn2shp: Invaild VORN File \n"},
        {"pieces without a line end make one line when the console ends",
         {{Print::FailureText, "Improper coordinate formatting"},
          {Print::FailureText, ": line 3. "},
          {Print::FailureText, "Input file is not valid"}},
         "Improper coordinate formatting: line 3. Input file is not valid",
         "vorn2shp: Improper coordinate formatting: line 3. Input file is not valid\n"},
        {"a line feed inside a piece ends a line at once",
         {{Print::FailureText, "first\nsec"}, {Print::FailureText, "ond"}},
         "first\nsecond",
         "vorn2shp: first\nvorn2shp: second\n"},
    };
    for (const ConsoleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        printAll(Console::Mode::Transcript, c.prints);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.transcriptOut);

        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        printAll(Console::Mode::Quiet, c.prints);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.quietErr);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    }
}

}  // namespace
}  // namespace vorn2shp
