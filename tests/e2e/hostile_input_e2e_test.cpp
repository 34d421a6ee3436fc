// Input arranged by a hostile or careless user that a case folder cannot
// arrange, through the real binary: a line longer than the memory the run
// may have, a user who may start no more threads, and names at the length
// limits of the system. (Links, FIFOs,
// inputs that are the run's own files, odd numbers and ids, and output
// bases that name no file are folders of tests/cases.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
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
    if (programOnPath("prlimit").empty()) {
        GTEST_SKIP() << "needs prlimit";
    }
    TempDir dir;
    writeFile(dir.file("big.txt"), "");
    fs::resize_file(dir.file("big.txt"), 256u << 20);
    const RunResult run = runProgram(
        programOnPath("prlimit"),
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
    if (geteuid() != 0 || programOnPath("prlimit").empty() || programOnPath("setpriv").empty()) {
        GTEST_SKIP() << "needs root, prlimit and setpriv";
    }
    TempDir dir;
    writeFile(dir.file("map.txt"), kMap);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const RunResult run =
        runProgram(programOnPath("prlimit"),
                   {"--nproc=1", programOnPath("setpriv"), "--reuid=54321", "--regid=54321",
                    "--clear-groups", vorn2shpBinary(), "map.txt", "out"},
                   dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.err, "vorn2shp: Resource temporarily unavailable; the run stops here\n");
    EXPECT_EQ(snapshot(dir.path()), (Snapshot{{"map.txt", kMap}}));
}

// An output base whose .shp has a path of PATH_MAX - 1 bytes, the longest
// the system takes, over an earlier dataset: the run writes it as it writes
// any other, though its staging directory's path is longer.
TEST(HostileInput, AnOutputPathAtTheSystemLimit) {
    const ScopedWorkDir work;
    writeFile("town.txt", readFile(sourceDir() + "/examples/town.txt"));
    writeFile("town.def", readFile(sourceDir() + "/examples/town.def"));
    writeFile("town.info", readFile(sourceDir() + "/examples/town.info"));
    std::string directory;
    while (directory.size() + 200 < PATH_MAX - sizeof "/o.shp") {
        directory += std::string(199, 'd') + "/";
    }
    directory.append(PATH_MAX - sizeof "/o.shp" - directory.size(), 'e');
    const std::string base = directory + "/o";
    ASSERT_EQ((base + ".shp").size(), static_cast<std::size_t>(PATH_MAX - 1));
    fs::create_directories(directory);
    for (const char* extension : {".shp", ".shx", ".dbf", ".qix"}) {
        writeFile(base + extension, "earlier");
    }
    const RunResult run =
        runProgram(vorn2shpBinary(), {"-q", "--spatial-index", "town.txt", base}, work.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const RunResult here =
        runProgram(vorn2shpBinary(), {"-q", "--spatial-index", "town.txt", "o"}, work.path());
    ASSERT_EQ(here.exitStatus, 0) << here.err;
    for (const char* extension : {".shp", ".shx", ".dbf", ".cpg", ".qix"}) {
        SCOPED_TRACE(extension);
        EXPECT_EQ(readFile(base + extension), readFile(std::string("o") + extension));
    }
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
        EXPECT_EQ(entry.path().filename().string().rfind(".vorn2shp-staging-", 0),
                  std::string::npos);
        ++entries;
    }
    EXPECT_EQ(entries, 6u);  // the five files and the lock file
}

// A constraint file whose name leaves no room for its side files' names (a
// name is at most 255 bytes): each such side file cannot exist, and is read
// as a missing one, with the warning of a missing file.
TEST(HostileInput, SideFileNamesLongerThanANameCanBe) {
    TempDir dir;
    const std::string fits = std::string(251, 'm');  // .def: 255 bytes, .info: 256
    const std::string full = std::string(255, 'n');  // no extension: neither fits
    writeFile(dir.file(fits + ".t"), kMap);
    writeFile(dir.file(fits + ".def"), "first\nsecond\n");
    writeFile(dir.file(full), kMap);
    const struct {
        std::string input;
        std::string err;
    } cases[] = {
        {fits + ".t", "vorn2shp: " + fits + ".info: File name too long; read as an empty file\n"},
        {full, "vorn2shp: " + full + ".def: File name too long; read as an empty file\n" +
                   "vorn2shp: " + full + ".info: File name too long; read as an empty file\n"},
    };
    for (const auto& c : cases) {
        const RunResult run = runProgram(vorn2shpBinary(), {"-q", c.input, "out"}, dir.path());
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_TRUE(fileExists(dir.file("out.shp")));
    }
}

}  // namespace
}  // namespace vorn2shp::testing
