// Commits cut off at every instant, and commits that meet, through the real
// binary. VORN2SHP_TEST_COMMIT_KILL_AT=N kills a run outright (SIGKILL, as
// kill -9 does) at the N-th point of its commit: before its record, before
// its first step, after each step. Any run at that output base afterwards
// finds the dataset whole, the earlier one or the new one, and says which.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dataset_files.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

namespace fs = std::filesystem;

const Files& earlierDataset() {
    static const Files files = [] {
        Files earlier;
        // The run writes no .qix and no .sbn: its commit takes them away.
        for (const char* name :
             {"out.shp", "out.shx", "out.dbf", "out.cpg", "out.qix", "out.sbn"}) {
            earlier[name] = std::string("earlier ") + name;
        }
        return earlier;
    }();
    return files;
}

void writeTown(const std::string& dir) {
    for (const char* extension : {".txt", ".def", ".info"}) {
        writeFile(dir + "/town" + extension, readFile(sourceDir() + "/examples/town" + extension));
    }
}

// A working directory with the example and the earlier dataset at `out`.
void arrange(const TempDir& dir) {
    writeTown(dir.path());
    writeFile(dir.file("bad.txt"), "town(id, x, y) :- ).\n");
    for (const auto& [name, bytes] : earlierDataset()) {
        writeFile(dir.file(name), bytes);
    }
}

const std::vector<std::string> kConvert = {"-q", "town.txt", "out"};

const Files& newDataset() {
    static const Files files = [] {
        TempDir dir;
        writeTown(dir.path());
        const RunResult run = runProgram(vorn2shpBinary(), kConvert, dir.path());
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return datasetIn(filesIn(dir.path()));
    }();
    return files;
}

// A run of `args` in `dir` killed at the commit's point `point`.
RunResult killedAt(int point, const std::string& dir,
                   const std::vector<std::string>& args = kConvert) {
    const ScopedEnvironment kill("VORN2SHP_TEST_COMMIT_KILL_AT", std::to_string(point));
    return runProgram(vorn2shpBinary(), args, dir);
}

std::string firstLineOf(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

std::string leafOf(const std::string& path) { return fs::path(path).filename().string(); }

// The line of a run that removed a staging directory `shown` without a record.
std::string removedLine(const std::string& shown) {
    return "vorn2shp: removed " + shown +
           ", left behind by a run that was cut off (killed, or the machine stopped) while no "
           "commit of it was under way\n";
}

std::string settledLine(const std::string& base, bool finished) {
    return "vorn2shp: " + base +
           ": a run was cut off (killed, or the machine stopped) while it moved its files into "
           "place; " +
           (finished ? "the move has been finished, and the new dataset there is whole\n"
                     : "some of its new files are missing, so the earlier files have been put "
                       "back\n");
}

// Every point, up to the first that the commit no longer reaches. After
// each kill, the next run at that base, whatever it does (here one that
// fails, from another working directory or in the same one), settles it.
TEST(InterruptedCommits, KilledAtEveryPointThenAnyRunAtThatBase) {
    int point = 1;
    for (;; ++point) {
        SCOPED_TRACE("killed at point " + std::to_string(point));
        TempDir work;
        arrange(work);
        const RunResult killed = killedAt(point, work.path());
        if (killed.exitStatus == 0) {
            break;
        }
        ASSERT_EQ(killed.exitStatus, 128 + SIGKILL) << killed.err;
        const std::string staging = stagingDirectoryIn(work.path());
        ASSERT_NE(staging, "");

        TempDir elsewhere;
        const bool fromElsewhere = point % 2 == 1;
        const std::string base = fromElsewhere ? "../" + leafOf(work.path()) + "/out" : "out";
        const RunResult next =
            fromElsewhere
                ? runProgram(vorn2shpBinary(), {"-q", "missing.txt", base}, elsewhere.path())
                : runProgram(vorn2shpBinary(), {"-q", "bad.txt", base}, work.path());
        EXPECT_EQ(next.exitStatus, 1);
        const bool recorded = point > 1;
        EXPECT_EQ(firstLineOf(next.err),
                  recorded ? settledLine(base, true)
                           : removedLine(base.substr(0, base.size() - 3) + leafOf(staging)));
        Files files = filesIn(work.path());
        EXPECT_EQ(datasetIn(files), recorded ? newDataset() : earlierDataset());
        EXPECT_EQ(stagingDirectoryIn(work.path()), "");
    }
    // The record, the step before any move, and six moves: three new files,
    // two side files taken away, the .shp.
    EXPECT_EQ(point, 9);
}

// A commit whose new files are not all there any more cannot be finished:
// the earlier files are put back.
TEST(InterruptedCommits, UndoneWhereANewFileIsMissing) {
    TempDir work;
    arrange(work);
    // After two moves: the .shx and the .dbf are new, the .cpg still staged.
    ASSERT_EQ(killedAt(4, work.path()).exitStatus, 128 + SIGKILL);
    const std::string staging = stagingDirectoryIn(work.path());
    ASSERT_TRUE(fileExists(staging + "/out.cpg"));
    ASSERT_NE(readFile(work.file("out.dbf")), earlierDataset().at("out.dbf"));
    fs::remove(staging + "/out.cpg");

    const RunResult next = runProgram(vorn2shpBinary(), {"-q", "bad.txt", "out"}, work.path());
    EXPECT_EQ(firstLineOf(next.err), settledLine("out", false));
    EXPECT_EQ(datasetIn(filesIn(work.path())), earlierDataset());
    EXPECT_EQ(stagingDirectoryIn(work.path()), "");
}

// A record that a power cut left short, cut at any field, is no record: the
// commit had not begun, and the staging directory is removed.
TEST(InterruptedCommits, ARecordCutShortIsNoRecord) {
    std::size_t recordSize = 0;
    for (std::size_t cut = 0; recordSize == 0 || cut < recordSize; cut += 11) {
        SCOPED_TRACE("the record cut to " + std::to_string(cut) + " bytes");
        TempDir work;
        arrange(work);
        // Point 2: the record is written, nothing moved yet.
        ASSERT_EQ(killedAt(2, work.path()).exitStatus, 128 + SIGKILL);
        const std::string staging = stagingDirectoryIn(work.path());
        const std::string record = readFile(staging + "/commit");
        recordSize = record.size();
        // The last cut leaves out only the NUL that ends the record.
        cut = std::min(cut, recordSize - 1);
        writeFile(staging + "/commit", record.substr(0, cut));

        const RunResult next = runProgram(vorn2shpBinary(), {"-q", "bad.txt", "out"}, work.path());
        EXPECT_EQ(firstLineOf(next.err), removedLine(leafOf(staging)));
        EXPECT_EQ(datasetIn(filesIn(work.path())), earlierDataset());
        EXPECT_EQ(stagingDirectoryIn(work.path()), "");
        if (cut == recordSize - 1) {
            break;
        }
    }
}

// Which of the two datasets each file in `files` belongs to.
std::string whoseFiles(const Files& files, const Files (&datasets)[2]) {
    std::string whose;
    for (const auto& [name, bytes] : files) {
        const auto ofSet = [&, &name = name, &bytes = bytes](int k) {
            const auto found = datasets[k].find(name);
            return found != datasets[k].end() && found->second == bytes;
        };
        whose += name + (ofSet(0)   ? ": the indexed run's; "
                         : ofSet(1) ? ": the plain run's; "
                                    : ": neither's; ");
    }
    return whose;
}

// Two runs in two working directories write one output base, and the first
// is stopped in the middle of its commit, two files moved, while the second
// runs: the second waits for the first to finish, and the base holds one
// whole dataset, never parts of both. One writes a spatial index, the other
// none: a .qix of the one must not stay with the other's files.
TEST(InterruptedCommits, TwoDirectoriesWritingOneBaseNeverMix) {
    TempDir shared;
    TempDir indexed;
    TempDir plain;
    writeTown(indexed.path());
    writeSquaresMap(plain.path(), 300);
    const std::string base = "../" + leafOf(shared.path()) + "/out";
    const struct {
        const TempDir& dir;
        std::vector<std::string> args;
    } runs[] = {{indexed, {"-q", "--spatial-index", "town.txt", base}},
                {plain, {"-q", "map.txt", base}}};
    Files wholeSets[2];
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(runProgram(vorn2shpBinary(), runs[k].args, runs[k].dir.path()).exitStatus, 0);
        wholeSets[k] = datasetIn(filesIn(shared.path()));
        for (const auto& entry : wholeSets[k]) {
            fs::remove(shared.file(entry.first));
        }
    }
    const std::string waiting =
        "vorn2shp: waiting for another conversion to finish moving its "
        "files into ../" +
        leafOf(shared.path()) + "/\n";
    const std::string removedIndex =
        "vorn2shp: removed " + base + ".qix, left by an earlier dataset at this output base\n";
    for (int first = 0; first < 2; ++first) {
        SCOPED_TRACE(first == 0 ? "the indexed run stopped" : "the plain run stopped");
        std::optional<ScopedEnvironment> stopped;
        stopped.emplace("VORN2SHP_TEST_COMMIT_STOP_AT", "4");
        RunningProgram one(vorn2shpBinary(), runs[first].args, runs[first].dir.path());
        stopped.reset();
        one.waitUntilStopped();
        ASSERT_FALSE(one.ended());
        RunningProgram other(vorn2shpBinary(), runs[1 - first].args, runs[1 - first].dir.path());
        // Long enough for the other run to end, were it not to wait.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!other.ended() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_FALSE(other.ended());
        one.signal(SIGCONT);
        const RunResult oneRun = one.finish();
        const RunResult otherRun = other.finish();
        EXPECT_EQ(oneRun.exitStatus, 0) << oneRun.err;
        EXPECT_EQ(otherRun.exitStatus, 0) << otherRun.err;
        EXPECT_TRUE(oneRun.err == "" || oneRun.err == removedIndex) << oneRun.err;
        EXPECT_TRUE(otherRun.err == waiting || otherRun.err == waiting + removedIndex)
            << otherRun.err;
        const Files left = filesIn(shared.path());
        EXPECT_TRUE(left == wholeSets[1 - first]) << whoseFiles(left, wholeSets);
    }
}

}  // namespace
}  // namespace vorn2shp::testing
