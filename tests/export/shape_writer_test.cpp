// Shapes and rows written by the export stage, read back through shapelib.
#include "export/shape_writer.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "export_fixture.h"

namespace vorn2shp::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

class ExportShapesTest : public ExportTest {};

struct TypeCase {
    const char* caption;
    const char* eff;
    int type;
};

const TypeCase kTypeCases[] = {
    {"closed outline", "(1,2),(3,4),(5,6),(1,2),oak,12", SHPT_POLYGON},
    {"open outline", "(1,2),(3,4),(5,6),oak", SHPT_ARC},
    {"one vertex", "(1,2),oak", SHPT_POINT},
    {"comparison is exact", "(1,2),(3,4),(1.00001,2)", SHPT_ARC},
    {"zero and negative zero agree", "(0,0),(1,0),(1,1),(-0,0)", SHPT_POLYGON},
    {"first record line decides, empty lines skipped", "\n\n(1,2),oak\n(1,2),(3,4),(1,2)",
     SHPT_POINT},
    {"no record line at all", "", SHPT_POLYGON},
    {"last of several rings closes", "(0,0),(4,0),(4,4),(0,0),(1,1),(2,1),(2,2),(1,1)",
     SHPT_POLYGON},
    {"pairs after a closed ring are values", "(0,0),(4,0),(4,4),(0,0),(9,9)", SHPT_POLYGON},
};

TEST_F(ExportShapesTest, ShapeTypeComesFromTheFirstRecordLine) {
    for (const TypeCase& c : kTypeCases) {
        SCOPED_TRACE(c.caption);
        writeFile("output.eff.imd", c.eff);
        LineReader file(LineReader::CarriageReturns::Kept);
        ASSERT_TRUE(file.open("output.eff.imd"));
        EXPECT_EQ(chooseShapeType(file), c.type);
        std::string first;
        ASSERT_TRUE(file.readLine(first));  // left at the start
        const std::string eff = c.eff;
        EXPECT_EQ(first, eff.substr(0, eff.find('\n')));
    }
}

TEST_F(ExportShapesTest, TwoLineExampleGivesTwoPolygonsAndTwoColumns) {
    const ExportRun result =
        run("(1,2),(3,4),(1,2),oak,12\r\n(5,6),(7,8),(5,6),elm,34.", "name, count\r\n");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(dumpShapefile("out"),
              "type 5 shapes 2\n"
              "shape 0 parts 1 vertices 3\n"
              " part (1.0000,2.0000) (3.0000,4.0000) (1.0000,2.0000)\n"
              "shape 1 parts 1 vertices 3\n"
              " part (5.0000,6.0000) (7.0000,8.0000) (5.0000,6.0000)\n"
              "fields 2 rows 2\n"
              "field name type 0 width 50 decimals 0\n"
              "field count type 0 width 50 decimals 0\n"
              "row 0 [oak] [12]\n"
              "row 1 [elm] [34]\n");
}

TEST_F(ExportShapesTest, PointAndArcFilesKeepTheirVertices) {
    ASSERT_TRUE(run("(1,2),a\r\n(3.5,-4),b").ok);
    EXPECT_EQ(shapeType(), SHPT_POINT);
    auto points = shapes();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1][0][0].x, 3.5);
    EXPECT_EQ(points[1][0][0].y, -4);
    EXPECT_EQ(rows(), (Rows{{"a", ""}, {"b", ""}}));

    ASSERT_TRUE(run("(0,0),(1,1),(2,0),a\r\n(5,5),(6,6),(7,5),(5,6),b").ok);
    EXPECT_EQ(shapeType(), SHPT_ARC);
    auto arcs = shapes();
    ASSERT_EQ(arcs.size(), 2u);
    ASSERT_EQ(arcs[1].size(), 1u);
    ASSERT_EQ(arcs[1][0].size(), 4u);
    EXPECT_EQ(arcs[1][0][3].x, 5);
    EXPECT_EQ(arcs[1][0][3].y, 6);
}

TEST_F(ExportShapesTest, EveryShapeGetsOneRowAndEmptyLinesGiveNothing) {
    const ExportRun result =
        run("(0,0),(0,1),(1,1),(0,0)\r\n\n"
            "(0,0),(0,2),(2,2),(0,0),b,2\r\n"
            "(0,0),(0,3),(3,3),(0,0),c.\r\n");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(shapes().size(), 3u);
    EXPECT_EQ(rows(), (Rows{{"", ""}, {"b", "2"}, {"c", ""}}));
}

TEST_F(ExportShapesTest, OnlyTheRecordTerminatorIsRemovedFromValues) {
    const ExportRun result =
        run("(0,0),3.5, lead,end.\r\n"
            "(1,1),semi;\r\n"
            "(2,2),dots..  \r\n"
            "(3,3),12 . \r\n",
            "a,b,c\r\n");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(rows(),
              (Rows{{"3.5", "lead", "end"}, {"semi", "", ""}, {"dots.", "", ""}, {"12", "", ""}}));
    EXPECT_EQ(storedValue(0, 1), " lead" + std::string(45, ' '));
}

TEST_F(ExportShapesTest, ParenthesesInValuesNeverChangeTheGeometry) {
    const ExportRun result = run("(0,0),(0,1),(1,1),(0,0),Lake (North),(3,4)\r\n", "name,note");
    ASSERT_TRUE(result.ok) << result.err;
    auto written = shapes();
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(written[0].size(), 1u);
    EXPECT_EQ(written[0][0].size(), 4u);
    EXPECT_EQ(columns(), (Names{"name", "note", "FIELD3"}));
    EXPECT_EQ(rows(), (Rows{{"Lake (North)", "(3", "4)"}}));
}

// Text behind the outline that begins like a pair, "(1,2),oak", changes no
// shape and no shape type: only closed rings are coordinates.
TEST_F(ExportShapesTest, PairsAfterTheLastClosedRingAreValues) {
    const ExportRun result =
        run("(0,0),(0,1),(1,1),(0,0),(1,2),oak\r\n"
            "(0,0),(0,4),(4,4),(0,0),(2,2),(2,3),(3,3),(2,2),(5,6),(7,8),(5,6)\r\n",
            "name,kind,note");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(shapeType(), SHPT_POLYGON);
    const auto written = shapes();
    ASSERT_EQ(written.size(), 2u);
    ASSERT_EQ(written[0].size(), 1u);
    EXPECT_EQ(written[0][0].size(), 4u);
    ASSERT_EQ(written[1].size(), 2u);
    EXPECT_EQ(written[1][1].size(), 4u);
    EXPECT_EQ(columns(), (Names{"name", "kind", "note", "FIELD4", "FIELD5", "FIELD6"}));
    EXPECT_EQ(rows(),
              (Rows{{"(1", "2)", "oak", "", "", ""}, {"(5", "6)", "(7", "8)", "(5", "6)"}}));
}

TEST_F(ExportShapesTest, APairLeftOpenAtTheEndAddsNoVertexAndStaysText) {
    const ExportRun result =
        run("(0,0),(0,1),(1,1),(0,0),(3\r\n(0,0),(0,1),(1,1),(0,0),(12.", "name");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(shapeType(), SHPT_POLYGON);
    for (const auto& shape : shapes()) {
        ASSERT_EQ(shape.size(), 1u);
        EXPECT_EQ(shape[0].size(), 4u);
    }
    EXPECT_EQ(rows(), (Rows{{"(3"}, {"(12"}}));
}

TEST_F(ExportShapesTest, LongValuesAreCutToFiftyBytesBetweenCharacters) {
    const std::string sixty(60, 'v');
    const std::string utf8 = std::string(49, 'a') + "\xC3\xB1" + "b";  // ñ across byte 50
    const ExportRun result = run("(0,0)," + sixty + "," + utf8);
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(rows(), (Rows{{std::string(50, 'v'), std::string(49, 'a')}}));
    EXPECT_NE(result.err.find("2 value(s) longer than 50 bytes were cut"), std::string::npos)
        << result.err;

    const std::string latin1 = std::string(49, 'a') + "\xF1" + "bc";
    ASSERT_TRUE(run("(0,0)," + latin1).ok);
    EXPECT_EQ(rows(), (Rows{{std::string(49, 'a') + "\xF1", ""}}));
}

TEST_F(ExportShapesTest, CodePageFileOnlyForUtf8Tables) {
    ASSERT_TRUE(run("(0,0),Do\xC3\xB1"
                    "a Ana,1")
                    .ok);
    EXPECT_EQ(readFile("out.cpg"), "UTF-8");
    EXPECT_EQ(rows(), (Rows{{"Do\xC3\xB1"
                             "a Ana",
                             "1"}}));

    // Latin-1 bytes: no code page, and the one of the earlier run is gone.
    ASSERT_TRUE(run("(0,0),Do\xF1"
                    "a Ana,1")
                    .ok);
    EXPECT_FALSE(fileExists("out.cpg"));
    EXPECT_EQ(rows(), (Rows{{"Do\xF1"
                             "a Ana",
                             "1"}}));
}

TEST_F(ExportShapesTest, EmptyFileGivesAnEmptyPolygonFileWithTheDeclaredColumns) {
    ASSERT_TRUE(run("").ok);
    EXPECT_EQ(shapeType(), SHPT_POLYGON);
    EXPECT_TRUE(shapes().empty());
    EXPECT_EQ(columns(), (Names{"name", "count"}));
    EXPECT_TRUE(rows().empty());

    ASSERT_TRUE(run("", "").ok);
    EXPECT_EQ(shapeType(), SHPT_POLYGON);
    EXPECT_TRUE(columns().empty());
}

TEST_F(ExportShapesTest, ShapesWithoutAnyColumnStillGetTheirRows) {
    ASSERT_TRUE(run("(0,0),(1,0),(1,1),(0,0)\r\n(0,0),(2,0),(2,2),(0,0)", "\r\n").ok);
    EXPECT_EQ(columns(), (Names{"FIELD1"}));
    EXPECT_EQ(rows(), (Rows{{""}, {""}}));
}

TEST_F(ExportShapesTest, LargeOutlineIsWrittenWholeAndClockwise) {
    constexpr int kPoints = 5000;
    std::string line;
    for (int i = 0; i <= kPoints; ++i) {  // counter-clockwise, closed
        const double angle = 2 * M_PI * (i % kPoints) / kPoints;
        char pair[64];
        std::snprintf(pair, sizeof pair, "(%.4f,%.4f),", 100 * std::cos(angle),
                      100 * std::sin(angle));
        line += pair;
    }
    ASSERT_TRUE(run(line + "circle").ok);
    auto written = shapes();
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(written[0].size(), 1u);
    EXPECT_EQ(written[0][0].size(), static_cast<std::size_t>(kPoints + 1));
    EXPECT_NEAR(signedArea(written[0][0]) / 2, -M_PI * 100 * 100, 1.0);
}

TEST_F(ExportShapesTest, IslandsAndHolesBecomePartsWithTheirOrientation) {
    const std::string outerCcw = "(0,0),(10,0),(10,10),(0,10),(0,0),";
    const std::string holeCcw = "(2,2),(8,2),(8,8),(2,8),(2,2),";
    const std::string islandCw = "(20,0),(20,5),(25,5),(25,0),(20,0),";
    const std::string islandCcw = "(30,0),(35,0),(35,5),(30,5),(30,0),";
    ASSERT_TRUE(run(outerCcw + holeCcw + islandCw + islandCcw + "park").ok);
    auto written = shapes();
    ASSERT_EQ(written.size(), 1u);
    const std::vector<Ring>& parts = written[0];
    ASSERT_EQ(parts.size(), 4u);
    double area = 0;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(parts[p].size(), 5u);
        const bool isHole = p == 1;
        EXPECT_EQ(signedArea(parts[p]) > 0, isHole);  // holes counter-clockwise
        area -= signedArea(parts[p]) / 2;
    }
    EXPECT_DOUBLE_EQ(area, 100 - 36 + 25 + 25);
    EXPECT_EQ(parts[2][0].x, 20);  // rings keep their order and their points
}

TEST_F(ExportShapesTest, LinesThatDoNotFitTheFileTypeAreWrittenWithAWarning) {
    ExportRun result = run("(1,2),a\r\n(3,4),(5,6),b");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.err,
              "vorn2shp: output.eff.imd: line 2: 2 points in a point file; only the first is "
              "kept\n");
    EXPECT_EQ(shapes()[1][0][0].x, 3);

    result = run("(0,0),(1,0),(1,1),(0,0),a\r\n(0,0),(2,0),(2,2),b");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.err, "vorn2shp: output.eff.imd: line 2: the outline is not closed\n");
    EXPECT_EQ(shapes().size(), 2u);
}

// Records are prepared two at a time, long ones beside short ones, and
// written in file order: the shapes, the rows and the warnings follow the
// file, and the warnings come once each.
TEST_F(ExportShapesTest, LongAndShortRecordsAreWrittenAndToldInFileOrder) {
    constexpr int kLines = 120;
    std::string eff;
    std::string warnings;
    std::vector<std::size_t> vertices;
    Rows expectedRows;
    for (int line = 1; line <= kLines; ++line) {
        const int points = line % 4 == 1 ? 3000 : 4 + line % 3;
        // Open outlines on long lines and on the short lines right after
        // them, which the other thread finishes first.
        const bool closed = line == 1 || (line % 8 != 1 && line % 8 != 2);
        const std::string value = line % 10 == 3
                                      ? std::string(60, static_cast<char>('a' + line % 26))
                                      : "r" + std::to_string(line);
        eff += outlinePairs(points, line * 3.0, closed) + value + "\r\n";
        if (!closed) {
            warnings += "vorn2shp: output.eff.imd: line " + std::to_string(line) +
                        ": the outline is not closed\n";
        }
        vertices.push_back(static_cast<std::size_t>(points + (closed ? 1 : 0)));
        expectedRows.push_back({value.substr(0, 50), ""});
    }
    warnings +=
        "vorn2shp: output.eff.imd: 12 value(s) longer than 50 bytes were cut to fit the table "
        "(the first on line 3)\n";
    const ExportRun result = run(eff);
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(result.err, warnings);
    const auto written = shapes();
    ASSERT_EQ(written.size(), vertices.size());
    for (std::size_t s = 0; s < written.size(); ++s) {
        SCOPED_TRACE(s);
        ASSERT_EQ(written[s].size(), 1u);
        EXPECT_EQ(written[s][0].size(), vertices[s]);
        EXPECT_NEAR(written[s][0][0].x, 3.0 * static_cast<double>(s + 1), 1.0001);
    }
    EXPECT_EQ(rows(), expectedRows);
}

}  // namespace
}  // namespace vorn2shp::testing
