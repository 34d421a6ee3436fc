// The command-line options through the real binary where a case folder of
// tests/cases cannot say it: the version, whose number changes, -q compared
// with a run without it, and --work-dir in a working directory that cannot
// be written and under a held lock. (Every other option case is a folder;
// tests/e2e/gis_options_e2e_test.cpp reads their output through GDAL.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "dataset_files.h"
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

void writeTown(const std::string& dir) {
    for (const char* extension : {".txt", ".def", ".info"}) {
        writeFile(dir + "/town" + extension, readFile(sourceDir() + "/examples/town" + extension));
    }
}

RunResult runUnprivilegedIn(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> command = unprivilegedCommand(vorn2shpBinary());
    command.insert(command.end(), args.begin(), args.end());
    const std::string program = command.front();
    command.erase(command.begin());
    return runProgram(program, command, dir);
}

// A user who may only read the directory of the maps converts them with
// the intermediate files elsewhere, and the directory is left as it was.
TEST(OptionsEndToEnd, WorkDirLetsARunGoOnInAReadOnlyWorkingDirectory) {
    if (geteuid() == 0 && programOnPath("setpriv").empty()) {
        GTEST_SKIP() << "needs setpriv to drop root";
    }
    TempDir top;
    const std::string maps = top.file("maps");
    for (const char* name : {"maps", "work", "shapes"}) {
        ASSERT_EQ(mkdir(top.file(name).c_str(), 0777), 0);
        ASSERT_EQ(chmod(top.file(name).c_str(), 0777), 0);
    }
    writeTown(maps);
    ASSERT_EQ(chmod(maps.c_str(), 0555), 0);
    ASSERT_EQ(chmod(top.path().c_str(), 0755), 0);
    const Snapshot before = snapshot(maps);

    const RunResult refused = runUnprivilegedIn(maps, {"-q", "town.txt", "../shapes/town"});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("vorn2shp: cannot create def.imd: Permission denied\n"),
              std::string::npos)
        << refused.err;

    const RunResult run =
        runUnprivilegedIn(maps, {"-q", "--work-dir", "../work", "town.txt", "../shapes/town"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(snapshot(maps), before);
    for (const char* name :
         {"first.imd", "def.imd", "DBF$$$.fld", "second.imd", "output.eff.imd"}) {
        EXPECT_TRUE(fileExists(top.file(std::string("work/") + name))) << name;
    }
    EXPECT_EQ(dumpShapefile(top.file("shapes/town")).rfind("type 5 shapes 4\n", 0), 0u);
    chmod(maps.c_str(), 0755);
}

// Holds the claim of a running conversion on the lock file of `dir`.
int holdWorkingClaim(const std::string& dir) {
    const int held = open((dir + "/.vorn2shp-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    struct flock firstByte {};
    firstByte.l_type = F_WRLCK;
    firstByte.l_whence = SEEK_SET;
    firstByte.l_len = 1;
    EXPECT_EQ(fcntl(held, F_OFD_SETLK, &firstByte), 0);
    return held;
}

// With --work-dir the run claims that directory, not the working one: a
// second run with the same work directory is refused, and runs with other
// ones, or none, from the same working directory go on.
TEST(OptionsEndToEnd, TheWorkDirectoryIsLockedInsteadOfTheWorkingDirectory) {
    TempDir dir;
    writeTown(dir.path());
    ASSERT_EQ(mkdir(dir.file("busy").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("free").c_str(), 0755), 0);
    const int held = holdWorkingClaim(dir.file("busy"));
    const RunResult refused =
        runProgram(vorn2shpBinary(), {"-q", "--work-dir", "busy", "town.txt", "a"}, dir.path());
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "vorn2shp: another conversion is using this directory (" +
                               std::filesystem::canonical(dir.file("busy")).string() +
                               "); nothing was written\n");
    EXPECT_EQ(filesIn(dir.file("busy")), Files{});
    EXPECT_EQ(
        runProgram(vorn2shpBinary(), {"-q", "--work-dir", "free", "town.txt", "b"}, dir.path())
            .exitStatus,
        0);
    EXPECT_EQ(runProgram(vorn2shpBinary(), {"-q", "town.txt", "c"}, dir.path()).exitStatus, 0);
    close(held);

    const int heldHere = holdWorkingClaim(dir.path());
    EXPECT_EQ(
        runProgram(vorn2shpBinary(), {"-q", "--work-dir", "busy", "town.txt", "d"}, dir.path())
            .exitStatus,
        0);
    close(heldHere);
    EXPECT_FALSE(fileExists(dir.file("a.shp")));
    for (const char* base : {"b", "c", "d"}) {
        EXPECT_TRUE(fileExists(dir.file(std::string(base) + ".shp"))) << base;
    }
}

}  // namespace
}  // namespace vorn2shp::testing
