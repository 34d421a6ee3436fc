// The sizes the format allows: a .dbf past 4 GB is refused before anything
// is written, a .shp that passes the limit as its shapes are written is
// refused then, and files past half of it are written with a warning. The
// .dbf is made past 4 GB for real, cheaply: its size follows from its rows
// and columns, and the run stops before writing any of it. The other limits
// come lower through the export's VORN2SHP_TEST_SIZE_LIMIT.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dataset_files.h"
#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

const Files kEarlierDataset = {
    {"out.shp", "earlier shapes"}, {"out.shx", "earlier index"}, {"out.dbf", "earlier table"}};

void writeEarlierDataset(const TempDir& dir) {
    for (const auto& [name, bytes] : kEarlierDataset) {
        writeFile(dir.file(name), bytes);
    }
}

// No staging directory left, and the earlier dataset as it was.
void expectEarlierDatasetOnly(const TempDir& dir) {
    const Files files = filesIn(dir.path());
    EXPECT_EQ(datasetIn(files), kEarlierDataset);
    EXPECT_EQ(stagingDirectoryIn(dir.path()), "");
}

TEST(FormatLimits, ATablePast4GBIsRefusedBeforeAnythingIsWritten) {
    // 65,541 rows of 258 columns of 254 bytes (65,533 bytes a row) pass
    // 4 GB by 139,348 bytes.
    constexpr int kRows = 65541;
    constexpr int kColumns = 258;
    std::string text;
    for (int k = 0; k < kRows; ++k) {
        text += unitSquare(k, 3 * (k % 1000), 3 * (k / 1000));
    }
    std::string line;
    std::string names;
    for (int q = 0; q < kColumns; ++q) {
        line += q == 0 ? "1" : ",1";
        names += (q == 0 ? "c" : ", c") + std::to_string(q);
    }
    TempDir dir;
    writeFile(dir.file("m.txt"), text);
    std::string definitions;
    for (int k = 0; k < kRows; ++k) {
        definitions += line + "\n";
    }
    writeFile(dir.file("m.def"), definitions);
    writeFile(dir.file("m.info"), "wide\nm(" + names + ").\n");
    writeEarlierDataset(dir);

    // Any write of the table would fail under this limit, with its own message.
    const FileSizeLimit noLargeFile(64 << 20);
    const RunResult run =
        runProgram(vorn2shpBinary(), {"-q", "--width", "254", "m.txt", "out"}, dir.path());
    const std::uint64_t tableSize =
        32 + 32 * kColumns + 1 + std::uint64_t{kRows} * (1 + 254 * kColumns) + 1;
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vorn2shp: out.dbf: the table would take " + std::to_string(tableSize) +
                           " bytes, more than the 4294967295 bytes that the format's 32-bit sizes "
                           "and offsets reach, and no reader could read it whole; no output file "
                           "was written\n");
    expectEarlierDatasetOnly(dir);
}

std::uint64_t shapesFileSizeOf(const std::string& caseName) {
    TempDir dir;
    arrangeCase(casesDir() + "/" + caseName, dir.path());
    EXPECT_EQ(runProgram(vorn2shpBinary(), {"-q", "map.txt", "out"}, dir.path()).exitStatus, 0);
    return readFile(dir.file("out.shp")).size();
}

// The square with a hole has two rings: before its shapes are made, the
// .shp is known to take at least 12 bytes less than it does.
TEST(FormatLimits, AShapesFilePastTheLimitIsRefusedAsItIsWritten) {
    const std::string holes = "holes_islands_and_parts_touching_at_a_corner";
    const std::uint64_t size = shapesFileSizeOf(holes);
    const ScopedEnvironment limit("VORN2SHP_TEST_SIZE_LIMIT", std::to_string(size - 1));
    TempDir dir;
    arrangeCase(casesDir() + "/" + holes, dir.path());
    writeEarlierDataset(dir);
    const RunResult run = runProgram(vorn2shpBinary(), {"-q", "map.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vorn2shp: out.shp: the shapes would take " + std::to_string(size) +
                           " bytes, more than the " + std::to_string(size - 1) +
                           " bytes that the format's 32-bit sizes and offsets reach, and no "
                           "reader could read it whole; no output file was written\n");
    expectEarlierDatasetOnly(dir);
}

// Past half the limit, where readers that take the offsets as signed
// numbers stop, the dataset is written, and the user is told which file.
TEST(FormatLimits, AFilePastHalfTheLimitIsWrittenWithAWarning) {
    const std::string holes = "holes_islands_and_parts_touching_at_a_corner";
    const std::uint64_t size = shapesFileSizeOf(holes);
    const ScopedEnvironment limit("VORN2SHP_TEST_SIZE_LIMIT", std::to_string(2 * size - 1));
    TempDir dir;
    arrangeCase(casesDir() + "/" + holes, dir.path());
    const RunResult run = runProgram(vorn2shpBinary(), {"-q", "map.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "vorn2shp: out.shp: " + std::to_string(size) + " bytes, past " +
                           std::to_string(size - 1) +
                           " bytes, where ArcGIS and the other readers that take the format's "
                           "offsets as signed 32-bit numbers stop; GDAL, QGIS and shapelib read "
                           "up to " +
                           std::to_string(2 * size - 1) + " bytes\n");
    EXPECT_EQ(readFile(dir.file("out.shp")).size(), size);
}

}  // namespace
}  // namespace vorn2shp::testing
