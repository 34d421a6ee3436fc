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
        EXPECT_TRUE(list.load());
        EXPECT_EQ(list.names(), c.expected);
    }
}

class ExportTableColumnsTest : public ExportTest {};

TEST_F(ExportTableColumnsTest, TableHasOneColumnPerNameAndPerValuePosition) {
    const ExportRun result =
        run("(0,0),a,b\r\n(1,1),c,d,e,f", "population_a, Population_b , kind\r\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(columns(), (Names{"population", "Populati_1", "kind", "FIELD4"}));
    EXPECT_EQ(rows(), (std::vector<Names>{{"a", "b", "", ""}, {"c", "d", "e", "f"}}));
}

TEST_F(ExportTableColumnsTest, MissingFieldListGivesGeneratedNamesAndAWarning) {
    writeFile("output.eff.imd", "(0,0),a,b");
    const ExportRun result = runExport();
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "vorn2shp: DBF$$$.fld: No such file or directory; the columns take generated "
              "names\n");
    EXPECT_EQ(columns(), (Names{"FIELD1", "FIELD2"}));
}

}  // namespace
}  // namespace vorn2shp::testing
