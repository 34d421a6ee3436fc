// Faults around the run that a case folder cannot arrange, through the real
// binary: files without read permission and a side file of another user
// (both need root to set up), and a disk that fills up. Each ends with a
// message that names the file, a non-zero exit status and no claim of
// success, and never touches the user's input files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

const std::string kTuple = "map(id, x, y) :- id = 1, 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n";
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

// The names in `dir`, sorted, but the lock file that a commit takes there,
// which stays and is no part of any dataset.
std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename() != ".vorn2shp-lock") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

RunResult runUnprivileged(const TempDir& dir, const std::vector<std::string>& args) {
    chmod(dir.path().c_str(), 0777);
    std::vector<std::string> command = unprivilegedCommand(vorn2shpBinary());
    command.insert(command.end(), args.begin(), args.end());
    const std::string program = command.front();
    command.erase(command.begin());
    return runProgram(program, command, dir.path());
}

TEST(Faults, InputFilesWithoutReadPermission) {
    if (geteuid() == 0 && programOnPath("setpriv").empty()) {
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

// The side files of the earlier dataset go in the same commit as the new
// files: one that cannot be taken away (a file of another user in a shared
// directory with the sticky bit) puts back the files already moved, so the
// earlier dataset stays whole, side file included.
TEST(Faults, SideFileOfAnEarlierDatasetThatCannotBeRemoved) {
    if (geteuid() != 0 || programOnPath("setpriv").empty()) {
        GTEST_SKIP() << "needs root and setpriv, to leave a file of another user";
    }
    TempDir dir;
    const InputFiles files;
    writeInputs(dir, files);
    ASSERT_EQ(mkdir(dir.file("shared").c_str(), 0755), 0);
    ASSERT_EQ(chmod(dir.file("shared").c_str(), 01777), 0);
    const std::vector<std::string> earlier = {"out.shp", "out.shx", "out.dbf"};
    for (const std::string& name : earlier) {
        writeFile(dir.file("shared/" + name), "earlier " + name);
        ASSERT_EQ(chown(dir.file("shared/" + name).c_str(), 65534, 65534), 0);
    }
    writeFile(dir.file("shared/out.qix"), "old index");  // root's
    const RunResult run = runUnprivileged(dir, {"map.txt", "shared/out"});
    expectFailureNaming(run, "shared/out.qix");
    EXPECT_EQ(run.err, "vorn2shp: cannot remove shared/out.qix: Operation not permitted\n");
    EXPECT_EQ(readFile(dir.file("shared/out.qix")), "old index");
    for (const std::string& name : earlier) {
        EXPECT_EQ(readFile(dir.file("shared/" + name)), "earlier " + name);
    }
    EXPECT_EQ(namesIn(dir.file("shared")),
              (std::vector<std::string>{"out.dbf", "out.qix", "out.shp", "out.shx"}));
}

// A shapefile that does not fit on its disk: the output goes to a tmpfs of
// 64 KiB, mounted in a private mount namespace so it vanishes with the run;
// what the run leaves there is copied out for the test to see. An earlier
// dataset at the output base stays as it was.
TEST(Faults, DiskFullWhileTheShapefileIsWritten) {
    if (geteuid() != 0 || programOnPath("unshare").empty()) {
        GTEST_SKIP() << "needs root and unshare to mount a small tmpfs";
    }
    TempDir dir;
    InputFiles files;
    files.text.clear();
    // A strip of 8,000 triangles: its outline alone needs about 128 KiB in the .shp.
    for (int i = 0; i < 4000; ++i) {
        const std::string x0 = std::to_string(i);
        const std::string x1 = std::to_string(i + 1);
        files.text += "map(id, x, y) :- id = 1, 0x - 1y <= 0, 1x + 0y <= " + x1 +
                      ", -1x + 1y <= -" + x0 + ".\n";
        files.text += "map(id, x, y) :- id = 1, 1x - 1y <= " + x0 +
                      ", 0x + 1y <= 1, -1x + 0y <= -" + x0 + ".\n";
    }
    writeInputs(dir, files);
    ASSERT_EQ(mkdir(dir.file("small").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("earlier").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("after").c_str(), 0755), 0);
    // Side files the new run does not write stay too: they go only with a commit.
    const std::vector<std::string> earlier = {"out.PRJ", "out.cpg", "out.dbf",
                                              "out.qix", "out.shp", "out.shx"};
    for (const std::string& name : earlier) {
        writeFile(dir.file("earlier/" + name), "earlier " + name);
    }
    const std::string script =
        "mount -t tmpfs -o size=64k tmpfs small && cp earlier/* small/ && "
        "{ \"$0\" map.txt small/out; status=$?; cp -a small/. after/; exit $status; }";
    const RunResult run = runProgram(programOnPath("unshare"),
                                     {"-m", "sh", "-c", script, vorn2shpBinary()}, dir.path());
    if (run.exitStatus != 0 && run.err.find("mount") != std::string::npos &&
        run.err.find("vorn2shp") == std::string::npos) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << run.err;
    }
    expectFailureNaming(run, "small/out");
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    expectInputsUnchanged(dir, files);
    EXPECT_EQ(namesIn(dir.file("after")), earlier);
    for (const std::string& name : earlier) {
        EXPECT_EQ(readFile(dir.file("after/" + name)), "earlier " + name);
    }
}

}  // namespace
}  // namespace vorn2shp::testing
