// The options a GIS user asks for, as GDAL reads what they write: number
// columns that queries compare as numbers, text columns that keep a long
// value, y as the constraints give it, and the progress line, which leaves
// everything else of a run as it was. The runs are case folders of
// tests/cases, run again here for what only GDAL can tell.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "gdal_tools.h"
#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

// OGR's own SQL, which compares a text column with a number as a "Type
// mismatch", and the names of the features it answers, in order.
std::vector<std::string> namesOfOgrSql(const TempDir& dir, const std::string& sql) {
    const RunResult run = ogrinfo(dir, {"-ro", "-q", "-sql", sql, "out.shp"});
    EXPECT_EQ(run.err, "");
    return fieldValues(run.out, "name");
}

// "area: Real (7.3)": each field of the layer as `ogrinfo -so` lists it.
std::vector<std::string> fieldsOf(const TempDir& dir) {
    const RunResult run = ogrinfo(dir, {"-ro", "-so", "out.shp", "out"});
    std::vector<std::string> fields;
    const std::regex field("\n([A-Za-z0-9_]+: [A-Za-z0-9]+ \\([0-9.]+\\))");
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), field), end; it != end; ++it) {
        fields.push_back((*it)[1]);
    }
    return fields;
}

TEST_F(GdalReadsTheOutput, DetectedTypesAreComparedAsNumbersAndCodesStayText) {
    TempDir dir;
    ASSERT_EQ(runCase("detect_types_gives_integer_and_real_columns", dir).exitStatus, 0);
    EXPECT_EQ(fieldsOf(dir), (std::vector<std::string>{"name: String (50.0)", "code: String (50.0)",
                                                       "area: Real (7.3)", "delta: Integer (2.0)",
                                                       "count: Integer (1.0)"}));
    // As text, 100 would come before 14.875 and 9 after both.
    EXPECT_EQ(namesOfOgrSql(dir, "SELECT name FROM out WHERE area > 12 ORDER BY area"),
              (std::vector<std::string>{"Doña Ana Woods", "North Field"}));
    EXPECT_EQ(
        namesOfOgrSql(dir, "SELECT name FROM out ORDER BY area DESC"),
        (std::vector<std::string>{"North Field", "Doña Ana Woods", "Mill Pond", "Old Quarry"}));
    const std::string listing =
        ogrQuery(dir.path(), "SELECT code, delta, count, SUM(area) OVER () AS total FROM out");
    EXPECT_EQ(fieldValues(listing, "code"), (std::vector<std::string>{"032", "10", "007", "99"}));
    EXPECT_EQ(fieldValues(listing, "delta"), (std::vector<std::string>{"-5", "12", "3", "0"}));
    EXPECT_EQ(fieldValues(listing, "count"), (std::vector<std::string>{"(null)", "7", "1", "2"}));
    EXPECT_EQ(fieldValues(listing, "total"), (std::vector<std::string>(4, "133.875")));
}

// A declared integer column takes the codes with their leading zeros, as
// numbers; a declared text column keeps the numbers as they are written.
TEST_F(GdalReadsTheOutput, DeclaredTypesOverrideWhatIsDetected) {
    TempDir dir;
    ASSERT_EQ(runCase("type_declares_columns_over_what_detection_finds", dir).exitStatus, 0);
    EXPECT_EQ(fieldsOf(dir), (std::vector<std::string>{"name: String (50.0)", "code: Integer (3.0)",
                                                       "area: String (50.0)", "delta: Real (4.1)",
                                                       "count: Integer (1.0)"}));
    const std::string listing = ogrinfo(dir, {"-ro", "-q", "-al", "out.shp"}).out;
    EXPECT_EQ(fieldValues(listing, "code"), (std::vector<std::string>{"32", "10", "7", "99"}));
    EXPECT_EQ(fieldValues(listing, "area"), (std::vector<std::string>{"10", "100", "14.875", "9"}));
    EXPECT_EQ(fieldValues(listing, "delta"),
              (std::vector<std::string>{"-5.0", "12.0", "3.0", "0.0"}));
}

TEST_F(GdalReadsTheOutput, AWideTextColumnKeepsALongValueWhole) {
    std::string value;
    for (int i = 0; i < 200; ++i) {
        value += static_cast<char>('a' + i % 26);
    }
    TempDir wide;
    ASSERT_EQ(runCase("width_254_keeps_a_long_value_whole", wide).exitStatus, 0);
    EXPECT_EQ(fieldValues(ogrQuery(wide.path(), "SELECT note FROM out"), "note"),
              (std::vector<std::string>{value, "x"}));
    // Without the option, the same value is cut to the 50 bytes of a column.
    TempDir narrow;
    arrangeCase(casesDir() + "/width_254_keeps_a_long_value_whole", narrow.path());
    ASSERT_EQ(runProgram(vorn2shpBinary(), {"-q", "t.txt", "out"}, narrow.path()).exitStatus, 0);
    EXPECT_EQ(fieldValues(ogrQuery(narrow.path(), "SELECT note FROM out"), "note"),
              (std::vector<std::string>{value.substr(0, 50), "x"}));
}

// "Extent: (0.000000, 0.000000) - (220.000000, 30.000000)", without the
// signs of the zeros (the corners on the y axis are written as -0).
std::string extentOf(const TempDir& dir) {
    const RunResult run = ogrinfo(dir, {"-ro", "-so", "out.shp", "out"});
    std::smatch extent;
    if (!std::regex_search(run.out, extent, std::regex("Extent: [^\n]*"))) {
        return "";
    }
    return std::regex_replace(extent.str(), std::regex("-(0\\.0+\\b)"), "$1");
}

// The corners of the case's triangles lie at 0 <= y <= 30: so do the
// polygons with --keep-y, and at -30 <= y <= 0 without it. Either way every
// polygon is valid, and covers the same area: the square's hole is a hole.
TEST_F(GdalReadsTheOutput, KeepYGivesTheYOfTheConstraints) {
    TempDir kept;
    ASSERT_EQ(runCase("keep_y_writes_y_as_the_constraints_give_it", kept).exitStatus, 0);
    TempDir negated;
    arrangeCase(casesDir() + "/keep_y_writes_y_as_the_constraints_give_it", negated.path());
    ASSERT_EQ(runProgram(vorn2shpBinary(), {"-q", "map.txt", "out"}, negated.path()).exitStatus, 0);
    EXPECT_EQ(extentOf(kept), "Extent: (0.000000, 0.000000) - (220.000000, 30.000000)");
    EXPECT_EQ(extentOf(negated), "Extent: (0.000000, -30.000000) - (220.000000, 0.000000)");
    const std::string query =
        "SELECT ST_IsValid(geometry) AS valid, ST_Area(geometry) AS area FROM out";
    const std::string keptListing = ogrQuery(kept.path(), query);
    EXPECT_EQ(fieldValues(keptListing, "valid"), (std::vector<std::string>(3, "1")));
    EXPECT_EQ(fieldValues(keptListing, "area"), (std::vector<std::string>{"800", "200", "200"}));
    EXPECT_EQ(keptListing, ogrQuery(negated.path(), query));
}

// The world map, whose objects overlap and give warnings, keeps several
// threads at work: the progress line comes whole between the warnings, and
// the run is the same as without it in every other byte.
TEST_F(GdalReadsTheOutput, ProgressReachesTheEndAndChangesNothingElse) {
    TempDir plain;
    TempDir drawn;
    for (const TempDir* dir : {&plain, &drawn}) {
        for (const char* extension : {".txt", ".def", ".info"}) {
            writeFile(dir->file(std::string("world") + extension),
                      readFile(sourceDir() + "/tests/data/world/countries_110m" + extension));
        }
    }
    const RunResult plainRun = runProgram(vorn2shpBinary(), {"world.txt", "out"}, plain.path());
    const RunResult drawnRun =
        runProgram(vorn2shpBinary(), {"--progress", "world.txt", "out"}, drawn.path());
    ASSERT_EQ(plainRun.exitStatus, 0) << plainRun.err;
    ASSERT_NE(plainRun.err, "") << "the map gives no warning for the line to stand between";
    EXPECT_EQ(drawnRun.exitStatus, 0);
    EXPECT_EQ(drawnRun.out, plainRun.out);
    EXPECT_EQ(snapshot(drawn.path()), snapshot(plain.path()));

    const std::regex warning("vorn2shp: [^\n]*\n");
    EXPECT_EQ(std::regex_replace(drawnRun.err, warning, ""),
              "0...10...20...30...40...50...60...70...80...90...100 - done.\n");
    std::string warnings;
    for (std::sregex_iterator it(drawnRun.err.begin(), drawnRun.err.end(), warning), end; it != end;
         ++it) {
        warnings += it->str();
    }
    EXPECT_EQ(warnings, plainRun.err);
    EXPECT_EQ(featureCount(ogrinfo(drawn, {"-ro", "-al", "out.shp"}).out), 177);
}

}  // namespace
}  // namespace vorn2shp::testing
