// Faults of the export: outputs that cannot be created or written, which
// leave the earlier files at the output base as they were, and a check of a
// written file by GDAL, as a user's GIS would read it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "export/shape_exporter.h"
#include "export_fixture.h"

namespace vorn2shp::testing {
namespace {

class ExportFaultTest : public ExportTest {};

const char* const kSquare = "(0,0),(0,1),(1,1),(1,0),(0,0),oak,12";

TEST_F(ExportFaultTest, ShapefileInAPlaceThatCannotBeWritten) {
    writeFile("plain", "");
    const struct {
        const char* base;
        const char* cause;
    } cases[] = {
        {"missing/out", "vorn2shp: missing/out.shp: No such file or directory\n"},
        {"plain/out", "vorn2shp: plain/out.shp: Not a directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        const ExportRun result = run(kSquare, "name,count", c.base);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.out, "Unable to create shapefile");
        EXPECT_EQ(result.err, c.cause);
    }
}

// The names in the working directory, hidden ones included: a failed export
// leaves nothing of its own among them.
// The lock file that a commit takes stays, and is no part of any dataset.
std::set<std::string> namesInWorkDir() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.insert(entry.path().filename().string());
    }
    names.erase(".vorn2shp-lock");
    return names;
}

TEST_F(ExportFaultTest, TableThatCannotBeCreated) {
    ASSERT_EQ(mkdir("out.dbf", 0755), 0);
    const ExportRun result = run(kSquare);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "Unable to create DBF file");
    EXPECT_EQ(result.err, "vorn2shp: out.dbf: Is a directory\n");
    // The shapefile pair already written is taken away with it.
    EXPECT_EQ(namesInWorkDir(), (std::set<std::string>{"DBF$$$.fld", "out.dbf", "output.eff.imd"}));
}

TEST_F(ExportFaultTest, CodePageThatCannotBeWritten) {
    ASSERT_EQ(mkdir("out.cpg", 0755), 0);
    writeFile("out.cpg/keep", "");
    const ExportRun result = run(kSquare);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vorn2shp: out.cpg: Is a directory\n");
    EXPECT_EQ(namesInWorkDir(), (std::set<std::string>{"DBF$$$.fld", "out.cpg", "output.eff.imd"}));
}

// An earlier dataset at the output base, one recognisable text per file.
const std::vector<std::string> kEarlierDataset = {"out.shp", "out.shx", "out.dbf",
                                                  "out.cpg", "out.prj", "out.qix"};

void writeEarlierDataset() {
    for (const std::string& name : kEarlierDataset) {
        writeFile(name, "earlier " + name);
    }
}

void expectEarlierDataset() {
    for (const std::string& name : kEarlierDataset) {
        EXPECT_EQ(readFile(name), "earlier " + name);
    }
}

std::string squaresWithColumns(int squares, int columns) {
    std::ostringstream eff;
    for (int i = 0; i < squares; ++i) {
        eff << "(" << i << ",0),(" << i << ",1),(" << i + 1 << ",1),(" << i << ",0)";
        for (int c = 0; c < columns; ++c) {
            eff << ",value " << c;
        }
        eff << "\r\n";
    }
    return eff.str();
}

// Outlines of `points` corners, each with a value, one per line.
std::string longOutlines(int lines, int points) {
    std::string eff;
    for (int line = 0; line < lines; ++line) {
        eff += outlinePairs(points, 3.0 * line, true) + "value\r\n";
    }
    return eff;
}

// A file size limit makes every write past it fail, as on a disk that fills
// up: whichever output grows past it first is the one that fails. The
// export runs in a child process, which alone takes the limit.
TEST_F(ExportFaultTest, WriteFailuresKeepTheEarlierDataset) {
    const std::string tooLarge = ": File too large\n";
    const struct {
        const char* what;
        rlim_t limit;
        std::string eff;
        const char* out;
        std::string err;
    } cases[] = {
        {"the header of the .shp", 64, squaresWithColumns(1, 1), "Unable to create shapefile",
         "vorn2shp: out.shp" + tooLarge},
        {"the .shp in the middle of the records", 64 * 1024, squaresWithColumns(2000, 1), "",
         "vorn2shp: out.shp" + tooLarge},
        {"the header of a wide table", 400, squaresWithColumns(1, 20), "",
         "vorn2shp: output.eff.imd: line 1: 20 attribute values, but DBF$$$.fld declares 1 field "
         "name: the values beyond them go into columns named FIELDn, and a comma inside a value "
         "splits it in two\nvorn2shp: out.dbf" +
             tooLarge},
        {"the .shp among long records prepared ahead", 512 * 1024, longOutlines(60, 2000), "",
         "vorn2shp: out.shp" + tooLarge},
    };
    options_.spatialIndex = true;
    options_.projection = "GEOGCS[]";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeEarlierDataset();
        writeFile("output.eff.imd", c.eff);
        writeFile("DBF$$$.fld", "name");
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            Console console;
            StagingRegistry staging;
            const bool ok = exportShapefile("output.eff.imd", "out", options_, console, staging);
            std::fflush(nullptr);
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        const std::string err = ::testing::internal::GetCapturedStderr();
        const std::string out = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err, c.err);
        expectEarlierDataset();
        std::set<std::string> expected(kEarlierDataset.begin(), kEarlierDataset.end());
        expected.insert({"DBF$$$.fld", "output.eff.imd"});
        EXPECT_EQ(namesInWorkDir(), expected);
    }
}

TEST_F(ExportFaultTest, MissingInputIsReported) {
    const ExportRun result = runExport();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vorn2shp: output.eff.imd: No such file or directory\n");
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

TEST_F(ExportFaultTest, GdalReadsTheWrittenFile) {
    const std::string ogrinfo = findProgram("ogrinfo");
    if (ogrinfo.empty()) {
        GTEST_SKIP() << "ogrinfo is not installed";
    }
    const std::string square = "(0,0),(0,4),(4,4),(4,0),(0,0),";
    const std::string hole = "(1,1),(3,1),(3,3),(1,3),(1,1),";
    const std::string island = "(6,0),(9,0),(9,2),(6,2),(6,0),";
    ASSERT_TRUE(run(square + hole + island +
                    "Do\xC3\xB1"
                    "a Ana,12\r\n" +
                    square + "elm (old),34.")
                    .ok);

    const RunResult info = runProgram(ogrinfo, {"-ro", "-al", "out.shp"}, dir().path());
    ASSERT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_NE(info.out.find("Geometry: Polygon"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Feature Count: 2"), std::string::npos);
    EXPECT_NE(info.out.find("name: String (50.0)"), std::string::npos);
    EXPECT_NE(info.out.find("count: String (50.0)"), std::string::npos);
    EXPECT_NE(info.out.find("name (String) = Do\xC3\xB1"
                            "a Ana"),
              std::string::npos);
    EXPECT_NE(info.out.find("name (String) = elm (old)"), std::string::npos);
    EXPECT_NE(info.out.find("count (String) = 34"), std::string::npos);

    const RunResult valid = runProgram(
        ogrinfo,
        {"-ro", "-q", "-dialect", "sqlite", "-sql",
         "SELECT ST_IsValid(geometry) AS valid, ST_Area(geometry) AS area FROM out", "out.shp"},
        dir().path());
    ASSERT_EQ(valid.exitStatus, 0) << valid.err;
    // Square minus hole plus island, then the plain square.
    EXPECT_NE(valid.out.find("valid (Integer) = 1\n  area (Real) = 18\n"), std::string::npos)
        << valid.out;
    EXPECT_NE(valid.out.find("valid (Integer) = 1\n  area (Real) = 16\n"), std::string::npos);
}

}  // namespace
}  // namespace vorn2shp::testing
