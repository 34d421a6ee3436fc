// Faults around the run, through the real binary: files that cannot be read,
// created or written, and a disk that fills up. Each ends with a message that
// names the file, a non-zero exit status and no claim of success, and never
// touches the user's input files.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

const std::string kTuple =
    "map(id, x, y) :- id = 1, 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n";
constexpr const char* kSuccessLine = "Final output in .eff format : output.eff";

struct InputFiles {
    std::string text = kTuple;
    std::string def = "Pond,water.\n";
    std::string info = "map\nMap(name, kind).\n";
};

void writeInputs(const TempDir& dir, const InputFiles& files) {
    writeFile(dir.file("map.txt"), files.text);
    writeFile(dir.file("map.def"), files.def);
    writeFile(dir.file("map.info"), files.info);
}

void expectInputsUnchanged(const TempDir& dir, const InputFiles& files) {
    EXPECT_EQ(readFile(dir.file("map.txt")), files.text);
    EXPECT_EQ(readFile(dir.file("map.def")), files.def);
    EXPECT_EQ(readFile(dir.file("map.info")), files.info);
}

void expectFailureNaming(const RunResult& run, const std::string& file) {
    EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("vorn2shp: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find(kSuccessLine), std::string::npos) << run.out;
}

TEST(Faults, IntermediateFileThatCannotBeCreated) {
    for (const char* name : {"first.imd", "def.imd", "DBF$$$.fld", "second.imd", "output.eff.imd"}) {
        TempDir dir;
        const InputFiles files;
        writeInputs(dir, files);
        ASSERT_EQ(mkdir(dir.file(name).c_str(), 0755), 0);
        const RunResult run = runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path());
        SCOPED_TRACE(name);
        expectFailureNaming(run, name);
        EXPECT_FALSE(fileExists(dir.file("out.shp")));
        expectInputsUnchanged(dir, files);
    }
}

TEST(Faults, OutputBaseThatCannotBeCreated) {
    for (const std::string base : {"no-such-dir/out", "map.txt/out"}) {
        TempDir dir;
        const InputFiles files;
        writeInputs(dir, files);
        const RunResult run = runProgram(vorn2shpBinary(), {"map.txt", base}, dir.path());
        SCOPED_TRACE(base);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.out.find("Unable to create shapefile"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find(kSuccessLine), std::string::npos);
        expectInputsUnchanged(dir, files);
    }
}

TEST(Faults, ConstraintFileThatIsADirectory) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("map.txt").c_str(), 0755), 0);
    const RunResult run = runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path());
    expectFailureNaming(run, "map.txt");
    for (const char* name : {"first.imd", "def.imd", "DBF$$$.fld", "map.def", "map.info"}) {
        EXPECT_FALSE(fileExists(dir.file(name))) << name;
    }
}

// Permission bits do not stop root, so the unreadable-file cases run the
// binary as an unprivileged user where the tests themselves run as root.
std::vector<std::string> unprivileged(const std::string& program) {
    if (geteuid() != 0) {
        return {program};
    }
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program};
}

RunResult runUnprivileged(const TempDir& dir, const std::vector<std::string>& args) {
    chmod(dir.path().c_str(), 0777);
    std::vector<std::string> command = unprivileged(vorn2shpBinary());
    command.insert(command.end(), args.begin(), args.end());
    const std::string program = command.front();
    command.erase(command.begin());
    return runProgram(program, command, dir.path());
}

TEST(Faults, InputFilesWithoutReadPermission) {
    if (geteuid() == 0 && !fileExists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs setpriv to drop root";
    }
    for (const char* name : {"map.txt", "map.def", "map.info"}) {
        TempDir dir;
        const InputFiles files;
        writeInputs(dir, files);
        ASSERT_EQ(chmod(dir.file(name).c_str(), 0), 0);
        const RunResult run = runUnprivileged(dir, {"map.txt", "out"});
        SCOPED_TRACE(name);
        expectFailureNaming(run, name);
        EXPECT_FALSE(fileExists(dir.file("out.shp")));
        chmod(dir.file(name).c_str(), 0644);
        expectInputsUnchanged(dir, files);
    }
}

TEST(Faults, SideFileOfAnEarlierDatasetThatCannotBeRemoved) {
    if (geteuid() == 0 && !fileExists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs setpriv to drop root";
    }
    TempDir dir;
    const InputFiles files;
    writeInputs(dir, files);
    ASSERT_EQ(mkdir(dir.file("locked").c_str(), 0755), 0);
    writeFile(dir.file("locked/out.qix"), "old index");
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    const RunResult run = runUnprivileged(dir, {"map.txt", "locked/out"});
    chmod(dir.file("locked").c_str(), 0755);
    expectFailureNaming(run, "locked/out.qix");
    EXPECT_EQ(run.err, "vorn2shp: cannot remove locked/out.qix: Permission denied\n");
    EXPECT_EQ(readFile(dir.file("locked/out.qix")), "old index");
    EXPECT_FALSE(fileExists(dir.file("locked/out.shp")));
}

TEST(Faults, AnInputNamedLikeASideFileIsNeverRemoved) {
    TempDir dir;
    writeFile(dir.file("map.prj"), kTuple);
    writeFile(dir.file("map.def"), "Pond\n");
    writeFile(dir.file("map.info"), "map\nMap(name).\n");
    const RunResult run = runProgram(vorn2shpBinary(), {"map.prj", "map"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.out;
    EXPECT_EQ(run.err,
              "vorn2shp: map.prj is left in place: it is an input of this run, though readers "
              "take it for part of the new dataset\n");
    EXPECT_EQ(readFile(dir.file("map.prj")), kTuple);
    EXPECT_TRUE(fileExists(dir.file("map.shp")));
}

// A shapefile that does not fit on its disk: the output goes to a tmpfs of
// 64 KiB, mounted in a private mount namespace so it vanishes with the run.
TEST(Faults, DiskFullWhileTheShapefileIsWritten) {
    if (geteuid() != 0 || !fileExists("/usr/bin/unshare")) {
        GTEST_SKIP() << "needs root and unshare to mount a small tmpfs";
    }
    TempDir dir;
    InputFiles files;
    files.text.clear();
    // A strip of 8,000 triangles: its outline alone needs about 128 KiB in the .shp.
    for (int i = 0; i < 4000; ++i) {
        const std::string x0 = std::to_string(i);
        const std::string x1 = std::to_string(i + 1);
        files.text += "map(id, x, y) :- id = 1, 0x - 1y <= 0, 1x + 0y <= " + x1 + ", -1x + 1y <= -" +
                      x0 + ".\n";
        files.text += "map(id, x, y) :- id = 1, 1x - 1y <= " + x0 + ", 0x + 1y <= 1, -1x + 0y <= -" +
                      x0 + ".\n";
    }
    writeInputs(dir, files);
    ASSERT_EQ(mkdir(dir.file("small").c_str(), 0755), 0);
    const std::string script = "mount -t tmpfs -o size=64k tmpfs small && exec \"$0\" map.txt small/out";
    const RunResult run = runProgram("/usr/bin/unshare", {"-m", "sh", "-c", script, vorn2shpBinary()},
                                     dir.path());
    if (run.exitStatus != 0 && run.err.find("mount") != std::string::npos &&
        run.err.find("vorn2shp") == std::string::npos) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << run.err;
    }
    expectFailureNaming(run, "small/out");
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    expectInputsUnchanged(dir, files);
}

}  // namespace
}  // namespace vorn2shp::testing
