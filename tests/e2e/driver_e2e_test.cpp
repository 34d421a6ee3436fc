// The vorn2shp binary as a user runs it: the command line, the console
// transcript, the exit status and the intermediate files of the first stages.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::readFile;
using testing::runProgram;
using testing::RunResult;
using testing::TempDir;
using testing::vorn2shpBinary;
using testing::writeFile;
using namespace std::string_literals;

const std::string kSquareText =
    "% one square object of two triangles\n"
    "sq(id, x, y) :- id = 1, 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n"
    "sq(id, x, y) :- id = 1, 4x - 4y <= 0, 0x + 4y <= 16, -4x + 0y <= 0.\n";

void writeSquare(const TempDir& dir, const std::string& text = kSquareText) {
    writeFile(dir.file("town.txt"), text);
    writeFile(dir.file("town.def"), "Mill Pond,water\n");
    writeFile(dir.file("town.info"), "Town map\nTown(name, kind).\n");
}

// Every file of `dir` with its bytes.
std::map<std::string, std::string> filesIn(const TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files[entry.path().filename().string()] = readFile(entry.path().string());
    }
    return files;
}

std::string crLfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

TEST(DriverEndToEnd, AValidRunPrintsTheTranscriptAndLeavesTheIntermediateFiles) {
    TempDir dir;
    writeSquare(dir);

    const RunResult run = runProgram(vorn2shpBinary(), {"town.txt", "out"}, dir.path());

    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out,
              "Initial File Processing Done...\n"
              "town.info\n"
              "Parsing the VORN Format File ....\n"
              "Parsing Done : Valid VORN File ...\n"
              "Starting Translation Process....\n"
              "Translation Done .....\n"
              "Creating Intermidiate File for Final Output...\n"
              "Conversion Process Done\n"
              "\n"
              "Final output in .eff format : output.eff\n"
              "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir.file("first.imd")),
              "sq(id, x, y) :- id = 1, 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0;\r\n"
              "sq(id, x, y) :- id = 1, 4x - 4y <= 0, 0x + 4y <= 16, -4x + 0y <= 0;\r\n"
              "\r\n");
    EXPECT_EQ(readFile(dir.file("def.imd")), "Mill Pond,water\r\n\r\n");
    EXPECT_EQ(readFile(dir.file("DBF$$$.fld")), "name, kind\r\n");
    EXPECT_EQ(
        readFile(dir.file("second.imd")),
        crLfLines({"sq",  "(",  "id",  ",",   "x",   ",",  "y",   ")",   ":-",  "id", "=",  "1",
                   ",",   "0x", "-4y", "<=",  "0",   ",",  "4x",  "+0y", "<=",  "16", ",",  "-4x",
                   "+4y", "<=", "0",   ";",   "sq",  "(",  "id",  ",",   "x",   ",",  "y",  ")",
                   ":-",  "id", "=",   "1",   ",",   "4x", "-4y", "<=",  "0",   ",",  "0x", "+4y",
                   "<=",  "16", ",",   "-4x", "+0y", "<=", "0",   ";",   "\0"s, "\0"s}));
    EXPECT_TRUE(testing::fileExists(dir.file("output.eff.imd")));
    EXPECT_FALSE(testing::fileExists(dir.file("output.eff")));
}

TEST(DriverEndToEnd, ARejectedTextEndsTheRunWithStatusOne) {
    TempDir dir;
    writeSquare(dir, "sq(id, x, y) :- id = 1, 0x - 4y < 0, 4x + 0y <= 16, -4x + 4y <= 0.\n");

    const RunResult run = runProgram(vorn2shpBinary(), {"town.txt", "out"}, dir.path());

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out,
              "Initial File Processing Done...\n"
              "town.info\n"
              "Parsing the VORN Format File ....\n"
              "Invaild VORN File \n");
    EXPECT_EQ(run.err, "vorn2shp: town.txt:1: unexpected '<'\n");
    const auto files = filesIn(dir);
    for (const char* kept : {"first.imd", "def.imd", "DBF$$$.fld", "second.imd"}) {
        EXPECT_EQ(files.count(kept), 1u) << kept;
    }
    for (const char* absent : {"output.eff.imd", "out.shp", "out.shx", "out.dbf"}) {
        EXPECT_EQ(files.count(absent), 0u) << absent;
    }
}

TEST(DriverEndToEnd, AMissingInputFileIsNamedAndNothingIsCreated) {
    TempDir dir;

    const RunResult run = runProgram(vorn2shpBinary(), {"missing.txt", "out"}, dir.path());

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vorn2shp: cannot read missing.txt: No such file or directory\n");
    EXPECT_TRUE(filesIn(dir).empty());
}

TEST(DriverEndToEnd, TooFewArgumentsPrintTheUsageAndWriteNothing) {
    const std::vector<std::vector<std::string>> commandLines = {{}, {"town.txt"}};
    for (const auto& args : commandLines) {
        TempDir dir;
        writeSquare(dir);
        const auto before = filesIn(dir);

        const RunResult run = runProgram(vorn2shpBinary(), args, dir.path());

        EXPECT_EQ(run.exitStatus, 2) << args.size();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("usage: vorn2shp [options] <constraint-file> <output-base>\n", 0),
                  0u)
            << run.err;
        EXPECT_EQ(filesIn(dir), before);
    }
}

TEST(DriverEndToEnd, HelpAndVersionPrintOnStdout) {
    struct Case {
        const char* argument;
        const char* begins;
    };
    for (const Case& c :
         {Case{"--help", "usage: vorn2shp [options] <constraint-file> <output-base>\n"},
          Case{"-h", "usage: vorn2shp [options] <constraint-file> <output-base>\n"},
          Case{"--version", "vorn2shp "}}) {
        TempDir dir;
        const RunResult run = runProgram(vorn2shpBinary(), {c.argument}, dir.path());
        EXPECT_EQ(run.exitStatus, 0) << c.argument;
        EXPECT_EQ(run.out.rfind(c.begins, 0), 0u) << c.argument << ": " << run.out;
        EXPECT_EQ(run.out.back(), '\n') << c.argument;
        EXPECT_EQ(run.err, "") << c.argument;
        EXPECT_TRUE(filesIn(dir).empty()) << c.argument;
    }
}

TEST(DriverEndToEnd, ArgumentsAfterTheSecondAreIgnoredWithAWarning) {
    TempDir plain;
    TempDir extra;
    writeSquare(plain);
    writeSquare(extra);

    const RunResult plainRun = runProgram(vorn2shpBinary(), {"town.txt", "out"}, plain.path());
    const RunResult extraRun =
        runProgram(vorn2shpBinary(), {"town.txt", "out", "more", "town.txt"}, extra.path());

    EXPECT_EQ(extraRun.exitStatus, plainRun.exitStatus);
    EXPECT_EQ(extraRun.out, plainRun.out);
    EXPECT_EQ(extraRun.err,
              "vorn2shp: the argument 'more' after the output base name is ignored\n"
              "vorn2shp: the argument 'town.txt' after the output base name is ignored\n");
    EXPECT_EQ(filesIn(extra), filesIn(plain));
}

}  // namespace
}  // namespace vorn2shp
