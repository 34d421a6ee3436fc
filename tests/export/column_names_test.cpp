// The table's column names: declared in DBF$$$.fld, completed with
// generated names, and kept apart within the ten bytes dBASE stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/field_name_list.h"
#include "export_fixture.h"

namespace vorn2shp::testing {
namespace {

using Names = std::vector<std::string>;

struct NamingCase {
    const char* caption;
    Names declared;
    std::size_t count;
    bool utf8;
    Names expected;
};

const NamingCase kNamingCases[] = {
    {"declared names in order", {"name", "pop"}, 2, false, {"name", "pop"}},
    {"values beyond the declared names", {"name"}, 3, false, {"name", "FIELD2", "FIELD3"}},
    {"an empty name keeps its position", {"a", "", "c"}, 3, false, {"a", "FIELD2", "c"}},
    {"clash within ten bytes, case ignored",
     {"population_a", "Population_b", "population_c", "name"},
     4,
     false,
     {"population", "Populati_1", "populati_2", "name"}},
    {"generated name clashes with a declared one",
     {"FIELD3"},
     3,
     false,
     {"FIELD3", "FIELD2", "FIELD3_1"}},
    {"a suffixed name that is itself taken",
     {"abcdefgh_1", "abcdefghij", "abcdefghijk"},
     3,
     false,
     {"abcdefgh_1", "abcdefghij", "abcdefgh_2"}},
    {"different names that share the stem before the suffix",
     {"abcdefghXX", "abcdefghXX", "abcdefghYY", "abcdefghYY"},
     4,
     false,
     {"abcdefghXX", "abcdefgh_1", "abcdefghYY", "abcdefgh_2"}},
    {"a two-digit suffix leaves less of the name",
     Names(11, "abcdefghijk"),
     11,
     false,
     {"abcdefghij", "abcdefgh_1", "abcdefgh_2", "abcdefgh_3", "abcdefgh_4", "abcdefgh_5",
      "abcdefgh_6", "abcdefgh_7", "abcdefgh_8", "abcdefgh_9", "abcdefg_10"}},
    {"UTF-8 names cut between characters", {"aaaaaaaaa\xC3\xB1"}, 1, true, {"aaaaaaaaa"}},
    {"other names cut at ten bytes", {"aaaaaaaaa\xF1x"}, 1, false, {"aaaaaaaaa\xF1"}},
};

TEST(ExportColumnNamesTest, NamesAreCompletedAndMadeUnique) {
    for (const NamingCase& c : kNamingCases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(columnNames(c.declared, c.count, c.utf8), c.expected);
    }
}

struct ListCase {
    const char* caption;
    const char* file;
    Names expected;
};

const ListCase kListCases[] = {
    {"blanks around names trimmed", " name ,  pop \r\n", {"name", "pop"}},
    {"line ends do not separate names", "a,b\r\nc,d\r\n", {"a", "bc", "d"}},
    {"empty file declares nothing", "", {}},
    {"blank list declares nothing", "  \r\n", {}},
    {"empty names keep their place", "a,,c", {"a", "", "c"}},
};

TEST(ExportFieldListTest, LoadsTheDeclaredNames) {
    ScopedWorkDir dir;
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.caption);
        writeFile("DBF$$$.fld", c.file);
        FieldNameList list;
        EXPECT_TRUE(list.load("DBF$$$.fld"));
        EXPECT_EQ(list.names(), c.expected);
    }
}

class ExportTableColumnsTest : public ExportTest {};

TEST_F(ExportTableColumnsTest, TableHasOneColumnPerNameAndPerValuePosition) {
    const ExportRun result =
        run("(0,0),a,b\r\n(1,1),c,d,e,f", "population_a, Population_b , kind\r\n");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(columns(), (Names{"population", "Populati_1", "kind", "FIELD4"}));
    EXPECT_EQ(result.err,
              "vorn2shp: output.eff.imd: line 2: 4 attribute values, but DBF$$$.fld declares 3 "
              "field names: the values beyond them go into columns named FIELDn, and a comma "
              "inside a value splits it in two\n"
              "vorn2shp: DBF$$$.fld: column 1: the field name \"population_a\" becomes "
              "\"population\": a dBASE column name holds at most 10 bytes\n"
              "vorn2shp: DBF$$$.fld: column 2: the field name \"Population_b\" becomes "
              "\"Populati_1\": an earlier column has the same first 10 bytes, \"Population\" "
              "(letter case ignored)\n");
    EXPECT_EQ(rows(), (std::vector<Names>{{"a", "b", "", ""}, {"c", "d", "e", "f"}}));
}

TEST_F(ExportTableColumnsTest, MissingFieldListGivesGeneratedNamesAndAWarning) {
    writeFile("output.eff.imd", "(0,0),a,b");
    const ExportRun result = runExport();
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.err,
              "vorn2shp: DBF$$$.fld: No such file or directory; the columns take generated "
              "names\n");
    EXPECT_EQ(columns(), (Names{"FIELD1", "FIELD2"}));
}

TEST_F(ExportTableColumnsTest, EveryChangedNameIsToldWithWhatItBecame) {
    const ExportRun result = run("(0,0),a,b,c,d", "name, Name, FIELD4\r\n");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(columns(), (Names{"name", "Name_1", "FIELD4", "FIELD4_1"}));
    EXPECT_EQ(result.err,
              "vorn2shp: output.eff.imd: line 1: 4 attribute values, but DBF$$$.fld declares 3 "
              "field names: the values beyond them go into columns named FIELDn, and a comma "
              "inside a value splits it in two\n"
              "vorn2shp: DBF$$$.fld: column 2: the field name \"Name\" becomes \"Name_1\": an "
              "earlier column has the same name (letter case ignored)\n"
              "vorn2shp: DBF$$$.fld: column 4: the field name \"FIELD4\" becomes \"FIELD4_1\": an "
              "earlier column has the same name (letter case ignored)\n");
}

// 1,310 text columns of 50 bytes and the deletion flag fill a dBASE row of
// at most 65,535 bytes.
std::string valuesLine(std::size_t count) {
    std::string line = "(0,0)";
    for (std::size_t i = 0; i < count; ++i) {
        line += ",v";
    }
    return line;
}

TEST_F(ExportTableColumnsTest, ATableTooWideForDbaseFailsBeforeAnyFileIsCreated) {
    std::string manyNames = "a0";
    for (int i = 1; i < 1311; ++i) {
        manyNames += ",a" + std::to_string(i);
    }
    const struct {
        const char* caption;
        std::string eff;
        std::string fieldList;
        std::string err;
    } cases[] = {
        {"one line with too many values", "(1,1),a\r\n" + valuesLine(1311), "name",
         "vorn2shp: output.eff.imd: line 2: 1311 attribute values, but a dBASE table holds at "
         "most 1310 text columns of 50 bytes (65535 bytes a row); no output file was written\n"},
        {"too many declared names", "(1,1),a", manyNames,
         "vorn2shp: DBF$$$.fld: 1311 field names, but a dBASE table holds at most 1310 text "
         "columns of 50 bytes (65535 bytes a row); no output file was written\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        const ExportRun result = run(c.eff, c.fieldList);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
        for (const char* file : {"out.shp", "out.shx", "out.dbf", "out.cpg"}) {
            EXPECT_FALSE(fileExists(file)) << file;
        }
    }
}

TEST_F(ExportTableColumnsTest, TheWidestTableDbaseAllowsIsWritten) {
    const ExportRun result = run(valuesLine(1310), "name");
    ASSERT_TRUE(result.ok) << result.err;
    EXPECT_EQ(columns().size(), 1310u);
    EXPECT_EQ(rows().at(0).at(1309), "v");
}

}  // namespace
}  // namespace vorn2shp::testing
