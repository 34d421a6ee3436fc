// Runs that are stopped, and runs that meet each other, through the real
// binary on a map large enough that a run takes a while: whatever happens,
// the files at the output base are either the earlier ones byte for byte or
// the whole new set, and nothing of the run's own is left beside them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Files = std::map<std::string, std::string>;

constexpr int kObjects = 25000;  // eight tuples each
constexpr const char* kStagingPrefix = ".vorn2shp-staging-";
const std::vector<std::string> kIntermediates = {"first.imd", "def.imd", "DBF$$$.fld", "second.imd",
                                                 "output.eff.imd"};

// The two triangles of the unit square at (x0, y0), as tuples of object `id`.
std::string unitSquare(int id, int x0, int y0) {
    const std::string head = "m(id, x, y) :- id = " + std::to_string(id) + ", ";
    return head + "0x - 1y <= " + std::to_string(-y0) + ", 1x + 0y <= " + std::to_string(x0 + 1) +
           ", -1x + 1y <= " + std::to_string(y0 - x0) + ".\n" + head +
           "0x + 1y <= " + std::to_string(y0 + 1) + ", -1x + 0y <= " + std::to_string(-x0) +
           ", 1x - 1y <= " + std::to_string(x0 - y0) + ".\n";
}

// 200,000 tuples: object k is a square of 2 x 2 unit squares, the objects
// laid out in rows of 200 with a gap between them.
void writeMap(const TempDir& dir) {
    std::string text;
    std::string def;
    for (int k = 0; k < kObjects; ++k) {
        for (int cell = 0; cell < 4; ++cell) {
            text += unitSquare(k, 3 * (k % 200) + cell % 2, 3 * (k / 200) + cell / 2);
        }
        def += "cell " + std::to_string(k) + ",grid\n";
    }
    writeFile(dir.file("map.txt"), text);
    writeFile(dir.file("map.def"), def);
    writeFile(dir.file("map.info"), "map\nMap(name, kind).\n");
    writeFile(dir.file("map.prj"), "GEOGCS[\"GCS_WGS_1984\"]");
}

// Every entry of `dir`, hidden ones included; a directory reads "(directory)".
Files filesIn(const std::string& dir) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? readFile(entry.path().string()) : "(directory)";
    }
    return files;
}

// The entries named out.*, the dataset at the output base.
Files datasetIn(const Files& files) {
    Files dataset;
    for (const auto& [name, bytes] : files) {
        if (name.rfind("out.", 0) == 0) {
            dataset[name] = bytes;
        }
    }
    return dataset;
}

const Files& earlierDataset() {
    static const Files files = [] {
        Files earlier;
        // The run writes no .sbn and no .shp.xml: the .sbn goes with the
        // rest, the .shp.xml, metadata, stays.
        for (const char* name : {"out.shp", "out.shx", "out.dbf", "out.cpg", "out.prj", "out.qix",
                                 "out.sbn", "out.shp.xml"}) {
            earlier[name] = std::string("earlier ") + name;
        }
        return earlier;
    }();
    return files;
}

std::string stagingDirectoryIn(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind(kStagingPrefix, 0) == 0) {
            return entry.path().string();
        }
    }
    return {};
}

// Where a stop lands, as far as the test can tell beforehand.
enum class Phase { BeforeTheExport, InTheExport, Anywhere };

// The moment to stop a run at: a condition on its working directory, then a delay.
struct StopPoint {
    const char* what;
    int signal;
    Phase phase;
    std::function<bool(const std::string& dir)> reached;
    std::chrono::milliseconds delay{0};
};

std::function<bool(const std::string&)> fileAppears(const std::string& name) {
    return [name](const std::string& dir) { return fileExists(dir + "/" + name); };
}

std::function<bool(const std::string&)> stagedFileAppears(const std::string& name) {
    return [name](const std::string& dir) {
        const std::string staging = stagingDirectoryIn(dir);
        return !staging.empty() && fileExists(staging + "/" + name);
    };
}

std::function<bool(const std::string&)> fromTheStart() {
    return [](const std::string&) { return true; };
}

class StoppedRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        inputs_ = std::make_unique<TempDir>();
        writeMap(*inputs_);
        TempDir reference;
        const Clock::time_point start = Clock::now();
        const RunResult run = runProgram(vorn2shpBinary(), arguments(), reference.path());
        wholeRun_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        ASSERT_EQ(run.err, "");
        newDataset_ = datasetIn(filesIn(reference.path()));
        ASSERT_EQ(newDataset_.size(), 6u);
    }
    static void TearDownTestSuite() { inputs_.reset(); }

    static std::vector<std::string> arguments() {
        return {"-q",    inputs_->file("map.txt"), "out", "--spatial-index",
                "--prj", inputs_->file("map.prj")};
    }

    // Waits until `point` is reached (or the run has ended), then stops the run.
    static void stopAt(const RunningProgram& program, const std::string& dir,
                       const StopPoint& point) {
        while (!program.ended() && !point.reached(dir)) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        std::this_thread::sleep_for(point.delay);
        program.signal(point.signal);
    }

    static std::unique_ptr<TempDir> inputs_;
    static std::chrono::milliseconds wholeRun_;
    static Files newDataset_;
};

std::unique_ptr<TempDir> StoppedRuns::inputs_;
std::chrono::milliseconds StoppedRuns::wholeRun_{0};
Files StoppedRuns::newDataset_;

// What a run that committed says of the earlier dataset's side files it
// took away and kept.
constexpr const char* kRemovedSideFiles =
    "vorn2shp: removed out.sbn, left by an earlier dataset at this output base\n"
    "vorn2shp: kept out.shp.xml beside the new shapefile: a projection or metadata file is never "
    "removed, and this run did not write it\n";

// The files at the output base once a run has committed over the earlier dataset.
Files newDatasetOverTheEarlier(Files dataset) {
    dataset.emplace("out.shp.xml", earlierDataset().at("out.shp.xml"));
    return dataset;
}

std::string stopLine(int signal, bool written) {
    const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    return written ? "vorn2shp: stopped by " + name + " after out.shp was written whole\n"
                   : "vorn2shp: stopped by " + name + "; no shapefile was written or changed\n";
}

TEST_F(StoppedRuns, LeaveTheEarlierDatasetOrTheWholeNewOneAndNothingElse) {
    const auto part = [](int percent) { return wholeRun_ * percent / 100; };
    const StopPoint points[] = {
        {"while the input is prepared", SIGTERM, Phase::BeforeTheExport, fileAppears("first.imd")},
        {"while the text is parsed", SIGINT, Phase::BeforeTheExport, fileAppears("second.imd")},
        {"while the outlines are merged", SIGHUP, Phase::BeforeTheExport,
         fileAppears("output.eff.imd")},
        {"as the shapefile is created", SIGTERM, Phase::InTheExport, stagedFileAppears("out.shp")},
        {"while the shapes are written", SIGINT, Phase::InTheExport, stagedFileAppears("out.dbf"),
         std::chrono::milliseconds(5)},
        {"while the spatial index is written", SIGTERM, Phase::InTheExport,
         stagedFileAppears("out.qix")},
        {"after half a whole run", SIGINT, Phase::Anywhere, fromTheStart(), part(50)},
        {"after 95% of a whole run", SIGTERM, Phase::Anywhere, fromTheStart(), part(95)},
    };
    int stoppedInTheExport = 0;
    for (const StopPoint& point : points) {
        SCOPED_TRACE(point.what);
        TempDir dir;
        for (const auto& [name, bytes] : earlierDataset()) {
            writeFile(dir.file(name), bytes);
        }
        RunningProgram program(vorn2shpBinary(), arguments(), dir.path());
        stopAt(program, dir.path(), point);
        const RunResult run = program.finish();

        Files files = filesIn(dir.path());
        const Files dataset = datasetIn(files);
        const bool earlier = dataset == earlierDataset();
        EXPECT_TRUE(earlier || dataset == newDatasetOverTheEarlier(newDataset_))
            << "a mixed or partial dataset";
        for (const auto& entry : dataset) {
            files.erase(entry.first);
        }
        for (const std::string& name : kIntermediates) {
            files.erase(name);
        }
        for (const auto& entry : files) {
            ADD_FAILURE() << entry.first << " was left behind";
        }
        if (run.exitStatus == 0) {
            EXPECT_NE(point.phase, Phase::BeforeTheExport);
            EXPECT_FALSE(earlier);
            EXPECT_EQ(run.err, kRemovedSideFiles);
            continue;
        }
        EXPECT_EQ(run.exitStatus, 128 + point.signal);
        EXPECT_EQ(run.err, (earlier ? "" : kRemovedSideFiles) + stopLine(point.signal, !earlier));
        EXPECT_EQ(run.out, "");
        if (point.phase == Phase::InTheExport && earlier) {
            ++stoppedInTheExport;
        }
    }
    // The runs stopped as soon as their staged files appeared stop within the
    // export, unless the machine is too busy for the test to look in time.
    EXPECT_GE(stoppedInTheExport, 1);
}

// Two runs in two directories do not meet; a third one in a directory that
// one of them is working in is refused and changes nothing there.
TEST_F(StoppedRuns, RunsInTwoDirectoriesAtOnceBothSucceed) {
    TempDir first;
    TempDir second;
    RunningProgram one(vorn2shpBinary(), arguments(), first.path());
    RunningProgram two(vorn2shpBinary(), arguments(), second.path());
    while (!one.ended() && !fileExists(first.file("second.imd"))) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const RunResult third = runProgram(vorn2shpBinary(), arguments(), first.path());
    if (!one.ended()) {
        EXPECT_EQ(third.exitStatus, 1);
        EXPECT_EQ(third.out, "");
        EXPECT_EQ(third.err, "vorn2shp: another conversion is using this directory (" +
                                 std::filesystem::canonical(first.path()).string() +
                                 "); nothing was written\n");
    }
    for (RunningProgram* program : {&one, &two}) {
        const RunResult run = program->finish();
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(datasetIn(filesIn(first.path())), newDataset_);
    EXPECT_EQ(datasetIn(filesIn(second.path())), newDataset_);
}

// The lock is taken on the directory itself: a test can hold it as a
// running conversion does.
TEST(OneRunPerDirectory, ARunInAHeldDirectoryChangesNothing) {
    TempDir dir;
    writeFile(dir.file("town.txt"), readFile(sourceDir() + "/examples/town.txt"));
    writeFile(dir.file("town.def"), readFile(sourceDir() + "/examples/town.def"));
    writeFile(dir.file("town.info"), readFile(sourceDir() + "/examples/town.info"));
    for (const std::string& name : kIntermediates) {
        writeFile(dir.file(name), "earlier " + name);
    }
    for (const auto& [name, bytes] : earlierDataset()) {
        writeFile(dir.file(name), bytes);
    }
    const Files before = filesIn(dir.path());
    const int held = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    for (const bool quiet : {false, true}) {
        std::vector<std::string> args{"town.txt", "out"};
        if (quiet) {
            args.push_back("-q");
        }
        const RunResult run = runProgram(vorn2shpBinary(), args, dir.path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "vorn2shp: another conversion is using this directory (" +
                               std::filesystem::canonical(dir.path()).string() +
                               "); nothing was written\n");
        EXPECT_EQ(filesIn(dir.path()), before);
    }

    close(held);
    const RunResult run = runProgram(vorn2shpBinary(), {"-q", "town.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(readFile(dir.file("out.shp")), earlierDataset().at("out.shp"));
}

}  // namespace
}  // namespace vorn2shp::testing
