#include "prepare/input_preparer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

using testing::fileExists;
using testing::FileSizeLimit;
using testing::readFile;
using testing::ScopedWorkDir;
using testing::writeFile;
using namespace std::string_literals;

struct PrepareRun {
    bool ok = false;
    std::string out;
    std::string err;
};

PrepareRun runPrepare(const std::string& inputPath) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    PrepareRun run;
    Console console;
    run.ok = InputPreparer().prepare(inputPath, "out", console);
    run.out = ::testing::internal::GetCapturedStdout();
    run.err = ::testing::internal::GetCapturedStderr();
    return run;
}

void writeTown(const std::string& text, const std::string& def, const std::string& info) {
    writeFile("town.txt", text);
    writeFile("town.def", def);
    writeFile("town.info", info);
}

std::set<std::string> filesHere() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Each line of the constraint file on its own: a dropped line leaves
// first.imd empty, a kept one is its line. The file has no final line feed,
// so no empty line follows.
TEST(InputPreparer, DropsCommentsAndNestedCallsAndEndsRules) {
    struct Case {
        std::string in;
        bool kept;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"% objects of the map", false, ""},
        {"tri(id, x, y) :- id = 1, 1x >= 0 % trailing note", false, ""},
        {"%", false, ""},
        {"tri(id, x, y) :- id = 1,", true, "tri(id, x, y) :- id = 1,"},
        {"1x + 2y <= 8.", true, "1x + 2y <= 8;"},
        {"x <= 1.", true, "x <= 1;"},
        {"x <= 1. ", true, "x <= 1. "},
        {"x <= 1.5", true, "x <= 1.5"},
        {".", true, ";"},
        {"..", true, ".;"},
        {"", true, ""},
        {"   ", true, "   "},
        {"r(x) :- s(x).", false, ""},
        {"((", false, ""},
        {"a ( b ) ( c", false, ""},
        {"a(b", true, "a(b"},
        {"no parens at all.", true, "no parens at all;"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        writeTown(c.in, "", "\nT(a)");
        const PrepareRun run = runPrepare("town.txt");
        EXPECT_TRUE(run.ok) << '"' << c.in << '"';
        EXPECT_EQ(readFile("first.imd"), c.kept ? c.out + "\r\n" : "") << '"' << c.in << '"';
    }
}

TEST(SideFileName, CutsTheLastPathComponentAtItsFirstDot) {
    struct Case {
        std::string input;
        std::string def;
    };
    const std::vector<Case> cases = {
        {"town.txt", "town.def"},
        {"town", "town.def"},
        {"my.town.txt", "my.def"},
        {"maps.old/town.txt", "maps.old/town.def"},
        {"./town.txt", "./town.def"},
        {"../data.v2/town.txt", "../data.v2/town.def"},
        {"/abs/path.d/town.tar.gz", "/abs/path.d/town.def"},
        {".hidden", ".hidden.def"},
        {".hidden.txt", ".hidden.def"},
        {"dir/..town.txt", "dir/..town.def"},
        {"C:\\maps.old\\town.txt", "C:\\maps.def"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sideFileName(c.input, "def"), c.def) << c.input;
    }
    EXPECT_EQ(sideFileName("maps.old/town.txt", "info"), "maps.old/town.info");
}

TEST(FindSourceLine, CountsTheLinesThatFirstImdLacks) {
    ScopedWorkDir dir;
    struct Case {
        std::string file;
        std::size_t preparedLine;
        std::size_t number;
        std::string text;
    };
    const std::string town = "% note\r\nr(x) :-\n\nq(a) :- b(c).\nid = 1.\n% last\n";
    const std::vector<Case> cases = {
        {town, 1, 2, "r(x) :-"}, {town, 2, 3, ""},
        {town, 3, 5, "id = 1."}, {town, 5, 6, ""},  // the end of the text: the file's last line
        {"a\nb", 3, 2, ""},      {"", 1, 1, ""},
    };
    for (const Case& c : cases) {
        writeFile("town.txt", c.file);
        const std::optional<SourceLine> line = findSourceLine("town.txt", c.preparedLine);
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(line->number, c.number) << c.file << " " << c.preparedLine;
        EXPECT_EQ(line->text, c.text) << c.file << " " << c.preparedLine;
    }
    EXPECT_FALSE(findSourceLine("missing.txt", 1).has_value());
}

TEST(InputPreparer, WritesTheThreeFilesWithCrLfLineEnds) {
    ScopedWorkDir dir;
    writeTown(
        "% objects of the map\n"
        "tri(id, x, y) :- id = 1,\n"
        "1x + 1y >= 0, -1x + 1y <= 4,\r\n"
        "1x + 2y <= 8.\n"
        "r(x) :- s(x).\n",
        "Mill Pond,water,16\n"
        "North Field,farmland,24",
        "Town map\nTown(name, kind, area).\nignored(line)\n");

    const PrepareRun run = runPrepare("town.txt");

    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.out, "Initial File Processing Done...\ntown.info\n");
    EXPECT_EQ(run.err, "");
    // The file ends with a line feed, so one more empty line follows.
    EXPECT_EQ(readFile("first.imd"),
              "tri(id, x, y) :- id = 1,\r\n"
              "1x + 1y >= 0, -1x + 1y <= 4,\r\n"
              "1x + 2y <= 8;\r\n"
              "\r\n");
    EXPECT_EQ(readFile("def.imd"), "Mill Pond,water,16\r\nNorth Field,farmland,24\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), "name, kind, area\r\n");
}

// Only the mark that opens a file is skipped; one further on is the user's
// text, passed on as it stands.
TEST(InputPreparer, SkipsAByteOrderMarkAtTheStartOfEachUserFile) {
    ScopedWorkDir dir;
    const std::string mark = "\xEF\xBB\xBF";
    writeTown(mark + "r(x) :- id = 1,\n" + mark + "x + y >= 1.", mark + "Lake,12\n" + mark + "Pond",
              mark + "\n" + mark + "Town(name)");

    const PrepareRun run = runPrepare("town.txt");

    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile("first.imd"), "r(x) :- id = 1,\r\n" + mark + "x + y >= 1;\r\n");
    EXPECT_EQ(readFile("def.imd"), "Lake,12\r\n" + mark + "Pond\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), "name\r\n");
    // A mark alone is an empty file: one empty line.
    writeTown(mark, mark, mark + "\nTown(a)");
    EXPECT_TRUE(runPrepare("town.txt").ok);
    EXPECT_EQ(readFile("first.imd"), "\r\n");
    EXPECT_EQ(readFile("def.imd"), "\r\n");
    // The line a rejection names is the text without the mark, so the
    // token's column points into it.
    writeFile("town.txt", mark + "r(x) ?");
    const std::optional<SourceLine> line = findSourceLine("town.txt", 1);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->text, "r(x) ?");
}

TEST(InputPreparer, EmptyFilesGiveOneEmptyLine) {
    ScopedWorkDir dir;
    writeTown("", "", "\nTown(a)");
    const PrepareRun run = runPrepare("town.txt");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(readFile("first.imd"), "\r\n");
    EXPECT_EQ(readFile("def.imd"), "\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), "a\r\n");
}

TEST(InputPreparer, ReadsLongLinesWhole) {
    ScopedWorkDir dir;
    const std::string megabyte(1 << 20, 'x');
    const std::string lateComment = megabyte + "%" + megabyte;
    const std::string lateSecondParen = "a(" + megabyte + "(b";
    const std::string longRuleEnd = std::string(1500, 'y') + ".";
    const std::string exactly999(999, 'z');
    const std::string longDef(1 << 20, 'd');
    writeTown(lateComment + "\n" + lateSecondParen + "\n" + longRuleEnd + "\n" + exactly999,
              longDef + "\nnext", "x\nT(" + megabyte + ")");

    EXPECT_TRUE(runPrepare("town.txt").ok);
    EXPECT_EQ(readFile("first.imd"), std::string(1500, 'y') + ";\r\n" + exactly999 + "\r\n");
    EXPECT_EQ(readFile("def.imd"), longDef + "\r\nnext\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), megabyte + "\r\n");
}

TEST(InputPreparer, WritesTheFieldListOrAnEmptyOneWithAWarning) {
    struct Case {
        std::string info;
        std::string fieldList;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {"Town map\nTown(name, pop).\n", "name, pop", ""},
        {"Town map\nTown(name, pop)", "name, pop", ""},
        {"Town map\nTown( name ,pop ) rest (x)", " name ,pop ", ""},
        {"Town map\nT(a(b,c)d)e", "ab,c", ""},
        {"Town map\nTown()", "", ""},
        {"Town map\nA(a)\nB(b)\n", "a", ""},
        {"Town(name, pop)", "",
         "vorn2shp: town.info: no second line with the field list; no field names are "
         "declared\n"},
        {"", "",
         "vorn2shp: town.info: no second line with the field list; no field names are "
         "declared\n"},
        {"Town(name, pop)\r\n", "",
         "vorn2shp: town.info: no second line with the field list; no field names are "
         "declared\n"},
        {"Town map\n\n", "",
         "vorn2shp: town.info:2: no '(' opens the field list; no field names are declared\n"},
        {"Town map\nname, pop\n", "",
         "vorn2shp: town.info:2: no '(' opens the field list; no field names are declared\n"},
        {"Town map\nTown(name, pop\n", "",
         "vorn2shp: town.info:2: no ')' closes the field list; no field names are declared\n"},
        {"Town map\n)Town(name, pop)\n", "",
         "vorn2shp: town.info:2: a ')' stands before the first '('; no field names are "
         "declared\n"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        writeTown("r(x) :- id = 1, x + y >= 1.", "a", c.info);
        const PrepareRun run = runPrepare("town.txt");
        EXPECT_TRUE(run.ok) << c.info;
        EXPECT_EQ(readFile("DBF$$$.fld"), c.fieldList + "\r\n") << c.info;
        EXPECT_EQ(run.err, c.warning) << c.info;
    }
}

TEST(InputPreparer, MissingSideFilesReadAsEmptyWithAWarning) {
    ScopedWorkDir dir;
    writeFile("town.txt", "r(x) :- id = 1, x + y >= 1.");

    const PrepareRun run = runPrepare("town.txt");

    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.out, "Initial File Processing Done...\ntown.info\n");
    EXPECT_EQ(run.err,
              "vorn2shp: town.def: No such file or directory; read as an empty file\n"
              "vorn2shp: town.info: No such file or directory; read as an empty file\n");
    EXPECT_EQ(readFile("def.imd"), "\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), "\r\n");
    EXPECT_FALSE(fileExists("town.def"));
    EXPECT_FALSE(fileExists("town.info"));
}

TEST(InputPreparer, FindsSideFilesNextToAnInputInADottedDirectory) {
    ScopedWorkDir dir;
    std::filesystem::create_directory("maps.old");
    writeFile("maps.old/town.txt", "r(x) :- id = 1, x + y >= 1.");
    writeFile("maps.old/town.def", "Mill Pond");
    writeFile("maps.old/town.info", "\nT(name)");

    const PrepareRun run = runPrepare("maps.old/town.txt");

    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.out, "Initial File Processing Done...\nmaps.old/town.info\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile("def.imd"), "Mill Pond\r\n");
    EXPECT_EQ(readFile("DBF$$$.fld"), "name\r\n");
}

TEST(InputPreparer, AMissingConstraintFileStopsWithNothingWritten) {
    ScopedWorkDir dir;
    const PrepareRun run = runPrepare("missing.txt");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vorn2shp: cannot read missing.txt: No such file or directory\n");
    EXPECT_TRUE(filesHere().empty());
}

TEST(InputPreparer, AUserFileThatCannotBeReadStopsWithNothingWritten) {
    struct Case {
        const char* directoryName;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"town.txt", "vorn2shp: cannot read town.txt: Is a directory\n"},
        {"town.def", "vorn2shp: cannot read town.def: Is a directory\n"},
        {"town.info", "vorn2shp: cannot read town.info: Is a directory\n"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        writeTown("r(x) :- id = 1, x + y >= 1.", "a", "\nT(a)");
        std::filesystem::remove(c.directoryName);
        std::filesystem::create_directory(c.directoryName);

        const PrepareRun run = runPrepare("town.txt");

        EXPECT_FALSE(run.ok) << c.directoryName;
        EXPECT_EQ(run.out, "") << c.directoryName;
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(filesHere(), (std::set<std::string>{"town.txt", "town.def", "town.info"}));
    }
}

TEST(InputPreparer, AnUnreadableConstraintFileIsNamedWithItsCause) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind root";
    }
    ScopedWorkDir dir;
    writeTown("r(x) :- id = 1, x + y >= 1.", "a", "\nT(a)");
    std::filesystem::permissions("town.txt", std::filesystem::perms::none);
    const PrepareRun run = runPrepare("town.txt");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.err, "vorn2shp: cannot read town.txt: Permission denied\n");
    EXPECT_FALSE(fileExists("first.imd"));
}

TEST(InputPreparer, ReportsAnIntermediateFileThatCannotBeWritten) {
    // Where the files may not grow past 64 KiB, the one made long does not fit.
    const std::string longText = std::string(100'000, ' ') + "r(x) :- id = 1, x + y >= 1.";
    const std::string longInfo = "\nT(" + std::string(100'000, 'a') + ")";
    struct Case {
        const char* name;
        bool asDirectory;  // else the disk is full for it
        const char* message;
        const char* printed;
    };
    const std::vector<Case> cases = {
        {"def.imd", true, "vorn2shp: cannot create def.imd: Is a directory\n", ""},
        {"first.imd", true, "vorn2shp: cannot create first.imd: Is a directory\n", ""},
        {"DBF$$$.fld", true, "vorn2shp: cannot create DBF$$$.fld: Is a directory\n",
         "Initial File Processing Done...\ntown.info\n"},
        {"first.imd", false, "vorn2shp: cannot write first.imd: File too large\n", ""},
        {"DBF$$$.fld", false, "vorn2shp: cannot write DBF$$$.fld: File too large\n",
         "Initial File Processing Done...\ntown.info\n"},
    };
    for (const Case& c : cases) {
        ScopedWorkDir dir;
        const std::string name = c.name;
        const std::string text =
            !c.asDirectory && name == "first.imd" ? longText : "r(x) :- id = 1, x + y >= 1.";
        writeTown(text, "a", !c.asDirectory && name == "DBF$$$.fld" ? longInfo : "\nT(a)");
        if (c.asDirectory) {
            std::filesystem::create_directory(c.name);
        }
        std::optional<FileSizeLimit> full;
        if (!c.asDirectory) {
            full.emplace(1 << 16);
        }
        const PrepareRun run = runPrepare("town.txt");
        full.reset();
        EXPECT_FALSE(run.ok) << c.name;
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(run.out, c.printed) << c.name;
        EXPECT_EQ(readFile("town.txt"), text);
    }
}

// The table takes its text as C strings, where a value or a field name ends
// at a NUL byte: the first place of one is named in each file.
TEST(InputPreparer, WarnsOfNulBytesInTheAttributeTextAndTheFieldList) {
    ScopedWorkDir dir;
    writeTown("a.", "Pond,12\nLa\0ke,1\0 2\nNo\0rth\n"s, "ma\0p\nMap(na\0me, kind)\n"s);
    const PrepareRun run = runPrepare("town.txt");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.err,
              "vorn2shp: town.def:2: NUL byte; every attribute value that holds one ends there in "
              "the table\n"
              "vorn2shp: town.info:2: NUL byte in the field list; the field name that holds it "
              "ends there\n");
    // The bytes are passed on as they are.
    EXPECT_EQ(readFile("def.imd"), "Pond,12\r\nLa\0ke,1\0 2\r\nNo\0rth\r\n\r\n"s);
    EXPECT_EQ(readFile("DBF$$$.fld"), "na\0me, kind\r\n"s);

    // Outside the field list, a NUL byte of the .info file changes nothing.
    writeTown("a.", "Pond", "ma\0p\nMap(name)\0\n"s);
    EXPECT_EQ(runPrepare("town.txt").err, "");
}

TEST(InputPreparer, WarnsOnceForTheFirstNulByteWritten) {
    ScopedWorkDir dir;
    const std::string text = "a.\n% dropped \0 line\nb\0c.\nd\0\n"s;
    writeTown(text, "", "\nT(a)");

    const PrepareRun run = runPrepare("town.txt");

    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.err, "vorn2shp: town.txt:3: NUL byte; the text after it is ignored\n");
    // The byte itself is passed on; the scanner takes it for the end of the text.
    EXPECT_EQ(readFile("first.imd"), "a;\r\nb\0c;\r\nd\0\r\n\r\n"s);
}

}  // namespace
}  // namespace vorn2shp
