// The command-line options through the real binary where a case folder of
// tests/cases cannot say it: the version, whose number changes, and -q
// compared with a run without it. (Every other option case is a folder.)
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

TEST(OptionsEndToEnd, QuietChangesNothingButTheTranscript) {
    const std::string grid = casesDir() + "/spatial_index_written";
    TempDir loud;
    TempDir quiet;
    arrangeCase(grid, loud.path());
    arrangeCase(grid, quiet.path());

    const RunResult loudRun =
        runProgram(vorn2shpBinary(), {"grid.txt", "out", "--spatial-index"}, loud.path());
    const RunResult quietRun =
        runProgram(vorn2shpBinary(), {"grid.txt", "-q", "out", "--spatial-index"}, quiet.path());

    EXPECT_EQ(loudRun.exitStatus, 0);
    EXPECT_EQ(quietRun.exitStatus, 0);
    EXPECT_EQ(quietRun.out, "");
    EXPECT_EQ(snapshot(quiet.path()), snapshot(loud.path()));
}

TEST(OptionsEndToEnd, VersionIsTheProjectVersion) {
    const std::vector<std::vector<std::string>> commandLines = {{"--version"},
                                                                {"town.txt", "--version"}};
    for (const auto& args : commandLines) {
        SCOPED_TRACE(args.front());
        TempDir dir;
        const RunResult run = runProgram(vorn2shpBinary(), args, dir.path());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_TRUE(std::regex_match(run.out, std::regex("vorn2shp [0-9]+\\.[0-9]+\\.[0-9]+\n")))
            << run.out;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(snapshot(dir.path()).empty());
    }
}

}  // namespace
}  // namespace vorn2shp::testing
