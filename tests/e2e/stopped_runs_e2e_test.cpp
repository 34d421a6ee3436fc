// Runs that are stopped, and runs that meet each other, through the real
// binary on a map large enough that a run takes a while: whatever happens,
// the files at the output base are either the earlier ones byte for byte or
// the whole new set, and nothing of the run's own is left beside them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dataset_files.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Eight tuples each: a run of a few tenths of a second, in which the tests
// can stop it at every stage. The sanitizers' runs take ten times as long.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kObjects = 5000;
#else
constexpr int kObjects = 25000;
#endif
const std::vector<std::string> kIntermediates = {"first.imd", "def.imd", "DBF$$$.fld", "second.imd",
                                                 "output.eff.imd"};

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

// The files at the output base once a run has committed over the earlier dataset.
Files newDatasetOverTheEarlier(Files dataset) {
    dataset.emplace("out.shp.xml", earlierDataset().at("out.shp.xml"));
    return dataset;
}

// Where a stop lands, as far as the test can tell beforehand.
enum class Phase { BeforeTheExport, InTheExport, Anywhere };

// The moment to stop a run at: a condition on its working directory, then a delay.
struct StopPoint {
    const char* what;
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

// Every signal whose default action ends a process and that another process
// sends, by the name kill -l gives it (a few of the real-time ones).
struct NamedSignal {
    int number;
    std::string name;
};

const std::vector<NamedSignal>& stopSignals() {
    static const std::vector<NamedSignal> signals = {
        {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},       {SIGQUIT, "SIGQUIT"},
        {SIGUSR1, "SIGUSR1"},     {SIGUSR2, "SIGUSR2"},     {SIGALRM, "SIGALRM"},
        {SIGTERM, "SIGTERM"},     {SIGSTKFLT, "SIGSTKFLT"}, {SIGXCPU, "SIGXCPU"},
        {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"},     {SIGIO, "SIGIO"},
        {SIGPWR, "SIGPWR"},       {SIGRTMIN, "SIGRTMIN"},   {SIGRTMIN + 3, "SIGRTMIN+3"},
        {SIGRTMAX, "SIGRTMAX"},
    };
    return signals;
}

class StoppedRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        inputs_ = std::make_unique<TempDir>();
        writeSquaresMap(inputs_->path(), kObjects);
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

    // Waits until `point` is reached (or the run has ended), then sends `signal`.
    static void signalAt(const RunningProgram& program, const std::string& dir,
                         const StopPoint& point, int signal) {
        while (!program.ended() && !point.reached(dir)) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        std::this_thread::sleep_for(point.delay);
        program.signal(signal);
    }

    // True when `dir` holds the earlier dataset byte for byte, false when it
    // holds the whole new one; anything else (a mixed set, a staging
    // directory, a file of the run's own) fails the test.
    static bool holdsTheEarlierDataset(const std::string& dir) {
        Files files = filesIn(dir);
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
        return earlier;
    }

    static std::unique_ptr<TempDir> inputs_;
    static std::chrono::milliseconds wholeRun_;
    static Files newDataset_;
};

std::unique_ptr<TempDir> StoppedRuns::inputs_;
std::chrono::milliseconds StoppedRuns::wholeRun_{0};
Files StoppedRuns::newDataset_;

void writeEarlierDataset(const TempDir& dir) {
    for (const auto& [name, bytes] : earlierDataset()) {
        writeFile(dir.file(name), bytes);
    }
}

// What a run that committed says of the earlier dataset's side files it took away.
constexpr const char* kRemovedSideFiles =
    "vorn2shp: removed out.sbn, left by an earlier dataset at this output base\n"
    "vorn2shp: kept out.shp.xml beside the new shapefile: a projection or metadata file is never "
    "removed, and this run did not write it\n";

std::string stopLine(const std::string& signal, bool written) {
    return written ? "vorn2shp: stopped by " + signal + " after out.shp was written whole\n"
                   : "vorn2shp: stopped by " + signal + "; no shapefile was written or changed\n";
}

// Each signal at two of the points, one after the other, each point with
// four signals.
TEST_F(StoppedRuns, EveryStopSignalLeavesTheEarlierDatasetOrTheWholeNewOneAndNothingElse) {
    const auto part = [](int percent) { return wholeRun_ * percent / 100; };
    const StopPoint points[] = {
        {"while the input is prepared", Phase::BeforeTheExport, fileAppears("first.imd")},
        {"while the text is parsed", Phase::BeforeTheExport, fileAppears("second.imd")},
        {"while the outlines are merged", Phase::BeforeTheExport, fileAppears("output.eff.imd")},
        {"as the shapefile is created", Phase::InTheExport, stagedFileAppears("out.shp")},
        {"while the shapes are written", Phase::InTheExport, stagedFileAppears("out.dbf"),
         std::chrono::milliseconds(5)},
        {"while the spatial index is written", Phase::InTheExport, stagedFileAppears("out.qix")},
        {"after half a whole run", Phase::Anywhere, fromTheStart(), part(50)},
        {"after 95% of a whole run", Phase::Anywhere, fromTheStart(), part(95)},
    };
    constexpr std::size_t kPoints = sizeof points / sizeof points[0];
    int stoppedInTheExport = 0;
    for (std::size_t run = 0; run < 2 * stopSignals().size(); ++run) {
        const NamedSignal& signal = stopSignals()[run / 2];
        const StopPoint& point = points[run % kPoints];
        SCOPED_TRACE(signal.name + " " + point.what);
        TempDir dir;
        writeEarlierDataset(dir);
        RunningProgram program(vorn2shpBinary(), arguments(), dir.path());
        signalAt(program, dir.path(), point, signal.number);
        const RunResult stopped = program.finish();

        const bool earlier = holdsTheEarlierDataset(dir.path());
        if (stopped.exitStatus == 0) {
            EXPECT_NE(point.phase, Phase::BeforeTheExport);
            EXPECT_FALSE(earlier);
            EXPECT_EQ(stopped.err, kRemovedSideFiles);
            continue;
        }
        EXPECT_EQ(stopped.exitStatus, 128 + signal.number);
        EXPECT_EQ(stopped.err,
                  (earlier ? "" : kRemovedSideFiles) + stopLine(signal.name, !earlier));
        EXPECT_EQ(stopped.out, "");
        if (point.phase == Phase::InTheExport && earlier) {
            ++stoppedInTheExport;
        }
    }
    // The runs stopped as soon as their staged files appeared stop within the
    // export, unless the machine is too busy for the test to look in time.
    EXPECT_GE(stoppedInTheExport, 1);
}

// SIGPIPE and SIGXFSZ are not taken for a stop: what they stand for is told
// by the failed write itself. A signal ignored when the run starts (nohup)
// stays ignored. Each is sent at three points of the run, which goes on.
TEST_F(StoppedRuns, SignalsThatStopNothing) {
    const std::string ignoringHangUps = "trap '' HUP; exec \"$0\" \"$@\"";
    const struct {
        const char* what;
        int signal;
        bool hangUpsIgnored;
    } cases[] = {
        {"SIGPIPE", SIGPIPE, false},
        {"SIGXFSZ", SIGXFSZ, false},
        {"SIGHUP under nohup", SIGHUP, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeEarlierDataset(dir);
        std::vector<std::string> args = arguments();
        std::string program = vorn2shpBinary();
        if (c.hangUpsIgnored) {
            args.insert(args.begin(), {"-c", ignoringHangUps, program});
            program = "/bin/sh";
        }
        RunningProgram running(program, args, dir.path());
        for (const char* name : {"first.imd", "second.imd", "output.eff.imd"}) {
            signalAt(running, dir.path(), {name, Phase::Anywhere, fileAppears(name)}, c.signal);
        }
        const RunResult run = running.finish();
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, kRemovedSideFiles);
        EXPECT_FALSE(holdsTheEarlierDataset(dir.path()));
    }
}

// The transcript of a run whose stdout nobody reads any more is dropped and
// the conversion goes on; a transcript that cannot be written for another
// reason is told once. A file that passes the size limit fails the run like
// a full disk, and nothing is committed.
TEST_F(StoppedRuns, OutputThatCannotBeWritten) {
    const std::string removed = kRemovedSideFiles;
    const struct {
        const char* what;
        std::string script;  // for the shell; none: stdout a pipe closed before the run
        int exitStatus;
        std::string out;
        std::string err;
    } cases[] = {
        {"a pipe closed before the run starts", "", 0, "", removed},
        {"| head -3, stderr too", "\"$0\" \"$@\" 2>&1 | head -3; exit ${PIPESTATUS[0]}", 0,
         "Initial File Processing Done...\n" + inputs_->file("map.info") +
             "\nParsing the VORN Format File ....\n",
         ""},
        {"> /dev/full", "exec \"$0\" \"$@\" >/dev/full", 0, "",
         "vorn2shp: stdout: No space left on device; the rest of the progress transcript is "
         "lost, the conversion goes on\n" +
             removed},
        {"ulimit -f 1024 (KiB): def.imd fits, first.imd does not",
         "ulimit -f 1024; exec \"$0\" \"$@\"", 1, "",
         "vorn2shp: cannot write first.imd: File too large\n"},
    };
    std::vector<std::string> transcribed = arguments();
    transcribed.erase(transcribed.begin());  // no -q
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeEarlierDataset(dir);
        std::vector<std::string> args = {"-c", c.script, vorn2shpBinary()};
        args.insert(args.end(), transcribed.begin(), transcribed.end());
        const RunResult run = c.script.empty()
                                  ? RunningProgram(vorn2shpBinary(), transcribed, dir.path(),
                                                   RunningProgram::Stdout::ClosedPipe)
                                        .finish()
                                  : runProgram(programOnPath("bash"), args, dir.path());
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(holdsTheEarlierDataset(dir.path()), c.exitStatus != 0);
    }
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

// The lock is a write lock on the first byte of the directory's lock file:
// a test can hold it as a running conversion does. Locks that need no more
// than reading (on the directory, on the lock file opened to read) hold
// nothing up.
TEST(OneRunPerDirectory, ARunInAHeldDirectoryChangesNothing) {
    TempDir dir;
    writeFile(dir.file("town.txt"), readFile(sourceDir() + "/examples/town.txt"));
    writeFile(dir.file("town.def"), readFile(sourceDir() + "/examples/town.def"));
    writeFile(dir.file("town.info"), readFile(sourceDir() + "/examples/town.info"));
    for (const std::string& name : kIntermediates) {
        writeFile(dir.file(name), "earlier " + name);
    }
    writeEarlierDataset(dir);
    const Files before = filesIn(dir.path());
    const int held = open(dir.file(".vorn2shp-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    struct flock firstByte {};
    firstByte.l_type = F_WRLCK;
    firstByte.l_whence = SEEK_SET;
    firstByte.l_len = 1;
    ASSERT_EQ(fcntl(held, F_OFD_SETLK, &firstByte), 0);

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

    const int directory = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int readOnly = open(dir.file(".vorn2shp-lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(directory, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(flock(readOnly, LOCK_EX | LOCK_NB), 0);
    const RunResult run = runProgram(vorn2shpBinary(), {"-q", "town.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(readFile(dir.file("out.shp")), earlierDataset().at("out.shp"));
    close(readOnly);
    close(directory);
}

// The lock file may be written by whoever may write its directory, and by
// no one else: a user who may only read the directory cannot lock it.
TEST(OneRunPerDirectory, TheLockFileIsWritableAsItsDirectoryIs) {
    for (const mode_t mode : {0755, 0775, 0777, 0700, 01777}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        writeFile(dir.file("town.txt"), readFile(sourceDir() + "/examples/town.txt"));
        ASSERT_EQ(chmod(dir.path().c_str(), mode), 0);
        const RunResult run = runProgram(vorn2shpBinary(), {"-q", "town.txt", "out"}, dir.path());
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        struct stat status {};
        ASSERT_EQ(lstat(dir.file(".vorn2shp-lock").c_str(), &status), 0);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(status.st_mode & 07777, mode & 0666);
    }
}

}  // namespace
}  // namespace vorn2shp::testing
