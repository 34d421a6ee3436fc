// Input arranged by a hostile or careless user that a case folder cannot
// arrange, through the real binary: a line longer than the memory the run
// may have, and a user who may start no more threads. (Links, FIFOs,
// inputs that are the run's own files, odd numbers and ids, and output
// bases that name no file are folders of tests/cases.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

namespace fs = std::filesystem;

// The sanitizers' runtime needs memory and threads of its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
const std::string kTuple = ", 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n";
const std::string kMap = "map(id, x, y) :- id = 1" + kTuple + "map(id, x, y) :- id = 2" + kTuple;

// A line too long for the memory the run may have: a sparse file of 256 MiB
// without a line end, read with 192 MiB of address space. The run ends with a
// message naming the file and exit 1, not an abort.
TEST(HostileInput, ALineTooLongForMemoryEndsTheRunWithAMessage) {
    if (kSanitized) {
        GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
    }
    if (!fileExists("/usr/bin/prlimit")) {
        GTEST_SKIP() << "needs prlimit";
    }
    TempDir dir;
    writeFile(dir.file("big.txt"), "");
    fs::resize_file(dir.file("big.txt"), 256u << 20);
    const RunResult run = runProgram(
        "/usr/bin/prlimit",
        {"--as=" + std::to_string(192u << 20), vorn2shpBinary(), "big.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("vorn2shp: cannot read big.txt: Cannot allocate memory\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fileExists(dir.file("first.imd")));
    EXPECT_FALSE(fileExists(dir.file("out.shp")));
}

// A run that may not start the threads it works with, for a user who may
// run no more processes (a uid no other process has): a message, exit 1,
// nothing written, and no abort.
TEST(HostileInput, ThreadsThatCannotStartEndTheRunWithAMessage) {
    if (kSanitized) {
        GTEST_SKIP() << "LeakSanitizer needs a thread of its own when the run ends";
    }
    if (geteuid() != 0 || !fileExists("/usr/bin/prlimit") || !fileExists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs root, prlimit and setpriv";
    }
    TempDir dir;
    writeFile(dir.file("map.txt"), kMap);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const RunResult run =
        runProgram("/usr/bin/prlimit",
                   {"--nproc=1", "/usr/bin/setpriv", "--reuid=54321", "--regid=54321",
                    "--clear-groups", vorn2shpBinary(), "map.txt", "out"},
                   dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.err, "vorn2shp: Resource temporarily unavailable; the run stops here\n");
    EXPECT_EQ(snapshot(dir.path()), (Snapshot{{"map.txt", kMap}}));
}

}  // namespace
}  // namespace vorn2shp::testing
