// Runs every folder of tests/cases (see README.md there) through the real
// binary in a scratch working directory holding the case's inputs, and
// compares what the run did with what the folder records: exit status,
// stdout, stderr, the entries it created, changed or removed, the
// shapefiles it wrote as read back through shapelib, and the files the case
// pins byte for byte. With VORN2SHP_UPDATE_CASES=1 the results of the run
// are first written into the folder: that is how a new case gets them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

namespace fs = std::filesystem;

bool updating() {
    const char* update = std::getenv("VORN2SHP_UPDATE_CASES");
    return update != nullptr && std::string(update) == "1";
}

std::string readIfPresent(const std::string& path) {
    return fileExists(path) ? readFile(path) : "";
}

// `bytes` as the file `path`, or no such file when `bytes` is empty.
void recordOrRemove(const std::string& path, const std::string& bytes) {
    if (bytes.empty()) {
        fs::remove(path);
    } else {
        writeFile(path, bytes);
    }
}

// One line per entry the run created, changed or removed, in path order.
std::string changesBetween(const Snapshot& before, const Snapshot& after) {
    std::map<std::string, std::string> changes;
    for (const auto& [name, entry] : after) {
        const auto earlier = before.find(name);
        if (earlier == before.end()) {
            changes[name] = "new";
        } else if (earlier->second != entry) {
            changes[name] = "changed";
        }
    }
    for (const auto& entry : before) {
        if (after.count(entry.first) == 0) {
            changes[entry.first] = "removed";
        }
    }
    std::string lines;
    for (const auto& [name, change] : changes) {
        lines += change + " " + name + "\n";
    }
    return lines;
}

// The dump of every shapefile the run wrote, each after "== <base>".
std::string dumpsOfWrittenShapefiles(const std::string& workDir, const Snapshot& before,
                                     const Snapshot& after) {
    const std::string extension = ".shp";
    std::string dumps;
    for (const auto& [name, entry] : after) {
        const bool isShp =
            name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), std::string::npos, extension) == 0;
        const auto earlier = before.find(name);
        if (isShp && (earlier == before.end() || earlier->second != entry)) {
            const std::string base = name.substr(0, name.size() - extension.size());
            dumps += "== " + base + "\n" + dumpShapefile(workDir + "/" + base);
        }
    }
    return dumps;
}

// The files under the case's expected/, by their path below it.
std::vector<std::string> pinnedFiles(const std::string& caseDir) {
    std::vector<std::string> names;
    const std::string expected = caseDir + "/expected";
    if (fs::is_directory(expected)) {
        for (const auto& entry : fs::recursive_directory_iterator(expected)) {
            if (entry.is_regular_file()) {
                names.push_back(entry.path().lexically_relative(expected).string());
            }
        }
    }
    return names;
}

struct Outcome {
    RunResult run;
    std::string files;
    std::string dump;
};

void record(const std::string& caseDir, const std::string& workDir, const Outcome& outcome) {
    writeFile(caseDir + "/status", std::to_string(outcome.run.exitStatus) + "\n");
    writeFile(caseDir + "/stdout", outcome.run.out);
    if (!fileExists(caseDir + "/stderr")) {  // lines chosen by hand stay as they are
        recordOrRemove(caseDir + "/stderr.exact", outcome.run.err);
    }
    recordOrRemove(caseDir + "/files", outcome.files);
    recordOrRemove(caseDir + "/dump", outcome.dump);
    for (const std::string& name : pinnedFiles(caseDir)) {
        if (fileExists(workDir + "/" + name)) {
            writeFile(caseDir + "/expected/" + name, readFile(workDir + "/" + name));
        }
    }
}

// Each line of `wanted` is a line of `err`, in the same order.
void expectLinesInOrder(const std::string& err, const std::string& wanted) {
    std::istringstream seen(err);
    std::istringstream lines(wanted);
    std::string line;
    while (std::getline(lines, line)) {
        std::string candidate;
        bool found = false;
        while (!found && std::getline(seen, candidate)) {
            found = candidate == line;
        }
        EXPECT_TRUE(found) << "stderr lacks, in this order, the line\n"
                           << line << "\nstderr:\n"
                           << err;
    }
}

void compare(const std::string& caseDir, const std::string& workDir, const Outcome& outcome) {
    EXPECT_EQ(std::to_string(outcome.run.exitStatus) + "\n", readFile(caseDir + "/status"))
        << "exit status";
    EXPECT_EQ(outcome.run.out, readFile(caseDir + "/stdout")) << "stdout";
    if (fileExists(caseDir + "/stderr")) {
        expectLinesInOrder(outcome.run.err, readFile(caseDir + "/stderr"));
    } else {
        EXPECT_EQ(outcome.run.err, readIfPresent(caseDir + "/stderr.exact")) << "stderr";
    }
    EXPECT_EQ(outcome.files, readIfPresent(caseDir + "/files"))
        << "entries created, changed or removed";
    EXPECT_EQ(outcome.dump, readIfPresent(caseDir + "/dump")) << "shapefiles written";
    for (const std::string& name : pinnedFiles(caseDir)) {
        ASSERT_TRUE(fileExists(workDir + "/" + name)) << name << " was not written";
        EXPECT_EQ(readFile(workDir + "/" + name), readFile(caseDir + "/expected/" + name)) << name;
    }
}

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, RunsAsItsFolderRecords) {
    const std::string caseDir = casesDir() + "/" + GetParam();
    TempDir work;
    arrangeCase(caseDir, work.path());
    const Snapshot before = snapshot(work.path());

    Outcome outcome;
    outcome.run = runProgram(vorn2shpBinary(), caseArguments(caseDir), work.path());
    const Snapshot after = snapshot(work.path());
    outcome.files = changesBetween(before, after);
    outcome.dump = dumpsOfWrittenShapefiles(work.path(), before, after);

    if (updating()) {
        record(caseDir, work.path(), outcome);
    }
    compare(caseDir, work.path(), outcome);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Folders, Case, ::testing::ValuesIn(caseNames()), testName);

TEST(CaseFolders, AreNamedAsTheirTestsAndHoldACommandLineAndItsResults) {
    const std::vector<std::string> names = caseNames();
    EXPECT_FALSE(names.empty()) << "no case folder in " << casesDir();
    for (const std::string& name : names) {
        for (const char c : name) {
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) != 0 ||
                        std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '_')
                << name << ": a folder name holds only a-z, 0-9 and _";
        }
        for (const char* file : {"args", "status", "stdout"}) {
            EXPECT_TRUE(fileExists(casesDir() + "/" + name + "/" + file))
                << name << " lacks " << file;
        }
        EXPECT_FALSE(fileExists(casesDir() + "/" + name + "/stderr") &&
                     fileExists(casesDir() + "/" + name + "/stderr.exact"))
            << name << ": stderr and stderr.exact say two things";
    }
}

}  // namespace
}  // namespace vorn2shp::testing
