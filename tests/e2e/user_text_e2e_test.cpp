// What the user's own text turns into, through the real binary: a rejected
// text named at the line of the user's file, attribute text with
// parentheses, field names that dBASE cannot keep, and a table too wide for
// dBASE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

const std::string kTwoObjects =
    "town(id, x, y) :- id = 1, 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n"
    "town(id, x, y) :- id = 1, 4x - 4y <= 0, 0x + 4y <= 16, -4x + 0y <= 0.\n"
    "town(id, x, y) :- id = 2, 0x + 1y >= 10, -1x + 1y <= 5, 1x + 1y <= 30.\n";
const std::string kInfo = "Town map\nTown(name, kind).\n";

RunResult convert(const TempDir& dir, const std::string& text, const std::string& def,
                  const std::string& info = kInfo) {
    writeFile(dir.file("town.txt"), text);
    writeFile(dir.file("town.def"), def);
    writeFile(dir.file("town.info"), info);
    return runProgram(vorn2shpBinary(), {"town.txt", "out"}, dir.path());
}

// The shapes of a dump, without the table.
std::string shapesOf(const std::string& dump) { return dump.substr(0, dump.find("fields ")); }

TEST(UserText, ARejectedTextIsNamedAtTheLineOfTheUsersFile) {
    const struct {
        const char* caption;
        std::string text;
        std::string err;
    } cases[] = {
        {"after comments and a dropped line",
         "% town map\n"
         "% two objects\n"
         "town(id, x, y) :- id = 1, 0x - 4y <= 0,\n"
         "note(a) :- b(c).\n"
         "4x + 0y <= 16) -4x + 4y <= 0.\n",
         "vorn2shp: town.txt:5: unexpected ')'\n"},
        {"the full stop as written", "% one rule\ntown(id, x, y) :- id = 1.\n",
         "vorn2shp: town.txt:2: unexpected '.'\n"},
        {"a character that begins no token", kTwoObjects + "% end\n\n  ? \n",
         "vorn2shp: town.txt:6: unexpected '?'\n"},
        {"the end of the file", "% one rule\ntown(id, x, y) :- id = 1,\n% end\n",
         "vorn2shp: town.txt:3: unexpected end of file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        TempDir dir;
        const RunResult run = convert(dir, c.text, "Mill Pond,water\n");
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out,
                  "Initial File Processing Done...\n"
                  "town.info\n"
                  "Parsing the VORN Format File ....\n"
                  "Invaild VORN File \n");
        EXPECT_EQ(run.err, c.err);
    }
}

TEST(UserText, AttributeTextWithParenthesesNeverStopsTheRunUnannounced) {
    TempDir plainDir;
    ASSERT_EQ(convert(plainDir, kTwoObjects, "Mill Pond,water\nplain\n").exitStatus, 0);
    const std::string plainShapes = shapesOf(dumpShapefile(plainDir.file("out")));

    const std::string warned =
        "\", begins like a coordinate pair: the export reads it as coordinates, not as "
        "attribute values\n";
    const struct {
        const char* text;
        const char* row;  // object 2's row
        std::string warning;
    } cases[] = {
        {"(3", "row 1 [(3] []", ""},
        {"(12", "row 1 [(12] []", ""},
        {"Lake (North),12", "row 1 [Lake (North)] [12]", ""},
        {"(1,2)", "row 1 [] []",
         "vorn2shp: object 2: its attribute text on line 2 of def.imd, \"(1,2)" + warned},
        {"(3,4) north", "row 1 [] []",
         "vorn2shp: object 2: its attribute text on line 2 of def.imd, \"(3,4) north" + warned},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TempDir dir;
        const RunResult run = convert(dir, kTwoObjects, "Mill Pond,water\n" + std::string(c.text));
        EXPECT_EQ(run.exitStatus, 0) << run.out;
        const std::string dump = dumpShapefile(dir.file("out"));
        EXPECT_NE(dump.find(std::string(c.row) + "\n"), std::string::npos) << dump;
        if (c.warning.empty()) {
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(shapesOf(dump), plainShapes);
        } else {
            EXPECT_EQ(run.err.rfind(c.warning, 0), 0u) << run.err;
        }
    }
}

TEST(UserText, APairThatTheAttributeTextNeverClosesIsToldBeforeTheExportStops) {
    TempDir dir;
    const RunResult run = convert(dir, kTwoObjects, "Mill Pond,water\n(3,x\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "vorn2shp: object 2: its attribute text on line 2 of def.imd, \"(3,x\", begins like "
              "a coordinate pair: the export reads it as coordinates, not as attribute values\n");
    const std::string tail = "No closing right parenthesis: line 2. Input file is not valid";
    ASSERT_GE(run.out.size(), tail.size());
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
    EXPECT_FALSE(fileExists(dir.file("out.shp")));
}

TEST(UserText, EveryFieldNameThatDbaseCannotKeepIsTold) {
    TempDir dir;
    const RunResult run = convert(dir, kTwoObjects, "a,b,c\nd,e,f\n",
                                  "Town map\nTown(population_total, Population_b, name).\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err,
              "vorn2shp: DBF$$$.fld: column 1: the field name \"population_total\" becomes "
              "\"population\": a dBASE column name holds at most 10 bytes\n"
              "vorn2shp: DBF$$$.fld: column 2: the field name \"Population_b\" becomes "
              "\"Populati_1\": an earlier column has the same first 10 bytes, \"Population\" "
              "(letter case ignored)\n");
    const std::string dump = dumpShapefile(dir.file("out"));
    EXPECT_NE(dump.find("field population type 0"), std::string::npos) << dump;
    EXPECT_NE(dump.find("field Populati_1 type 0"), std::string::npos) << dump;
}

TEST(UserText, ATableTooWideForDbaseStopsTheRunBeforeAnyOutputFile) {
    TempDir dir;
    std::string wide = "v1";
    for (int i = 2; i <= 1311; ++i) {
        wide += ",v" + std::to_string(i);
    }
    const RunResult run = convert(dir, kTwoObjects, "Mill Pond,water\n" + wide + "\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "vorn2shp: output.eff.imd: line 2: 1311 attribute values, but a dBASE table holds "
              "at most 1310 text columns of 50 bytes (65535 bytes a row); no output file was "
              "written\n");
    EXPECT_EQ(run.out.find("Final output"), std::string::npos) << run.out;
    for (const char* file : {"out.shp", "out.shx", "out.dbf", "out.cpg"}) {
        EXPECT_FALSE(fileExists(dir.file(file))) << file;
    }
}

}  // namespace
}  // namespace vorn2shp::testing
