// The command-line options through the real binary, one case per row: where
// an option may stand, what each one changes (and what it leaves alone), and
// how a wrong command line is refused before anything is written.
#include <gtest/gtest.h>
#include <shapefil.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

constexpr const char* kOgrinfo = "/usr/bin/ogrinfo";
constexpr const char* kUsageLine = "usage: vorn2shp [options] <constraint-file> <output-base>\n";

// ESRI's WGS 84, as a GIS writes it into a .prj.
const std::string kWgs84 =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
    "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

// A unit square of two triangles, shifted `k` * 10 along x, as object `k`.
std::string squareTuples(int k) {
    const std::string id = std::to_string(k);
    const std::string shift = std::to_string(40 * k);
    return "sq(id, x, y) :- id = " + id +
           ", 0x - 4y <= 0, 4x + 0y <= " + std::to_string(16 + 40 * k) + ", -4x + 4y <= -" + shift +
           ".\n" + "sq(id, x, y) :- id = " + id + ", 4x - 4y <= " + shift +
           ", 0x + 4y <= 16, -4x + 0y <= -" + shift + ".\n";
}

void writeTrio(const TempDir& dir, const std::string& base, const std::string& text,
               const std::string& def) {
    writeFile(dir.file(base + ".txt"), text);
    writeFile(dir.file(base + ".def"), def);
    writeFile(dir.file(base + ".info"), "map\nMap(name, kind).\n");
}

// The inputs every case finds in its directory.
void writeInputs(const TempDir& dir) {
    writeTrio(dir, "town", squareTuples(0), "Mill Pond,water\n");
    writeTrio(dir, "-dash", squareTuples(0), "Mill Pond,water\n");
    // "Doña Ana" in Latin-1, and a value whose 50-byte cut falls inside the
    // UTF-8 form of "ñ" (bytes C3 B1, which Latin-1 reads as two letters).
    writeTrio(dir, "latin", squareTuples(0),
              "Do\xF1"
              "a Ana,forest\n");
    writeTrio(dir, "long", squareTuples(0), "Pond," + std::string(49, 'a') + "\xC3\xB1\n");
    writeTrio(dir, "bad", "sq(id, x, y) :- id = 1, 0x - 4y < 0.\n", "Mill Pond,water\n");
    std::string grid;
    std::string names;
    for (int k = 0; k < 40; ++k) {
        grid += squareTuples(k);
        names += "cell " + std::to_string(k) + ",grid\n";
    }
    writeTrio(dir, "grid", grid, names);
    writeFile(dir.file("wgs84.prj"), kWgs84);
    ASSERT_EQ(mkdir(dir.file("adir").c_str(), 0755), 0);
}

std::string transcript(const std::string& infoName) {
    return "Initial File Processing Done...\n" + infoName +
           "\n"
           "Parsing the VORN Format File ....\n"
           "Parsing Done : Valid VORN File ...\n"
           "Starting Translation Process....\n"
           "Translation Done .....\n"
           "Creating Intermidiate File for Final Output...\n"
           "Conversion Process Done\n"
           "\n"
           "Final output in .eff format : output.eff\n"
           "\n";
}

// The transcript of a run that fails in the export, after the translation.
std::string transcriptUpToTheExport(const std::string& infoName) {
    const std::string whole = transcript(infoName);
    return whole.substr(0, whole.find("\nFinal output"));
}

std::map<std::string, std::string> filesIn(const TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? readFile(entry.path().string()) : "(directory)";
    }
    return files;
}

// Text seen whole, or only its beginning.
struct Expected {
    std::string text;
    bool whole = true;
};
Expected exactly(std::string text) { return {std::move(text), true}; }
Expected beginsWith(std::string text) { return {std::move(text), false}; }

void expectText(const std::string& seen, const Expected& expected, const char* stream) {
    if (expected.whole) {
        EXPECT_EQ(seen, expected.text) << stream;
    } else {
        EXPECT_EQ(seen.rfind(expected.text, 0), 0u) << stream << ": " << seen;
    }
}

// A refused command line: its message and the usage on stderr, exit 2.
Expected refusal(const std::string& message) {
    return beginsWith((message.empty() ? "" : "vorn2shp: " + message + "\n") + kUsageLine);
}

// The raw bytes of the first row's field `field` of <base>.dbf.
std::string storedValue(const TempDir& dir, const std::string& base, int field) {
    const std::unique_ptr<DBFInfo, decltype(&DBFClose)> dbf(DBFOpen(dir.file(base).c_str(), "rb"),
                                                            &DBFClose);
    return dbf ? DBFReadStringAttribute(dbf.get(), 0, field) : "(no table)";
}

RunResult ogrinfo(const TempDir& dir, const std::vector<std::string>& args) {
    RunResult run = runProgram(kOgrinfo, args, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return run;
}

int featureCount(const std::string& listing) {
    int count = 0;
    for (std::size_t at = listing.find("OGRFeature("); at != std::string::npos;
         at = listing.find("OGRFeature(", at + 1)) {
        ++count;
    }
    return count;
}

struct OptionCase {
    std::string name;
    std::vector<std::string> args;
    int status;
    Expected out;
    Expected err;
    // The files the run leaves beside the input files; none at all when empty.
    std::vector<std::string> written;
    std::function<void(const TempDir&)> check = nullptr;
    std::function<void(const TempDir&)> before = nullptr;
};

const std::vector<std::string> kShapefile = {"out.shp", "out.shx", "out.dbf"};
const std::vector<std::string> kIntermediates = {"first.imd", "def.imd", "DBF$$$.fld", "second.imd",
                                                 "output.eff.imd"};

std::vector<std::string> plus(std::vector<std::string> files,
                              const std::vector<std::string>& more) {
    files.insert(files.end(), more.begin(), more.end());
    return files;
}

const std::vector<std::string> kPlainRun = plus(plus(kIntermediates, kShapefile), {"out.cpg"});

const std::string kLongValueCut =
    "vorn2shp: output.eff.imd: 1 value(s) longer than 50 bytes were cut to fit the table (the "
    "first on line 1)\n";

const std::string kNoCodePage =
    "vorn2shp: out.dbf: the attribute text is not UTF-8, so no .cpg was written and readers "
    "must guess its code page; name it with --encoding (for example --encoding ISO-8859-1)\n";

std::vector<OptionCase> optionCases() {
    const Expected usage = beginsWith(kUsageLine);
    const Expected nothing = exactly("");
    return {
        {"no option: the transcript and the shapefile with its UTF-8 .cpg",
         {"town.txt", "out"},
         0,
         exactly(transcript("town.info")),
         nothing,
         kPlainRun,
         [](const TempDir& dir) { EXPECT_EQ(readFile(dir.file("out.cpg")), "UTF-8"); }},
        {"-h before the file names", {"-h", "town.txt", "out"}, 0, usage, nothing, {}},
        {"-h between the file names", {"town.txt", "-h", "out"}, 0, usage, nothing, {}},
        {"--help after the file names", {"town.txt", "out", "--help"}, 0, usage, nothing, {}},
        {"--help wins over a later unknown option", {"--help", "--bogus"}, 0, usage, nothing, {}},
        {"-- ends the options: a file name that begins with a dash",
         {"--", "-dash.txt", "out"},
         0,
         exactly(transcript("-dash.info")),
         nothing,
         kPlainRun},
        {"-- keeps -h as a file name",
         {"town.txt", "--", "-h"},
         0,
         exactly(transcript("town.info")),
         nothing,
         plus(kIntermediates, {"-h.shp", "-h.shx", "-h.dbf", "-h.cpg"})},
        {"an unknown long option",
         {"--bogus", "town.txt", "out"},
         2,
         nothing,
         refusal("unrecognized option '--bogus'"),
         {}},
        {"an unknown long option with a value",
         {"town.txt", "out", "--bogus=1"},
         2,
         nothing,
         refusal("unrecognized option '--bogus'"),
         {}},
        {"an unknown short option after the file names",
         {"town.txt", "out", "-x"},
         2,
         nothing,
         refusal("unrecognized option '-x'"),
         {}},
        {"an unknown short option in a group",
         {"-qx", "town.txt", "out"},
         2,
         nothing,
         refusal("unrecognized option '-x'"),
         {}},
        {"--prj without its value",
         {"town.txt", "out", "--prj"},
         2,
         nothing,
         refusal("option '--prj' needs a value"),
         {}},
        {"--encoding without its value",
         {"town.txt", "out", "--encoding"},
         2,
         nothing,
         refusal("option '--encoding' needs a value"),
         {}},
        {"--prj with an empty value",
         {"--prj=", "town.txt", "out"},
         2,
         nothing,
         refusal("option '--prj' needs the name of a .prj file"),
         {}},
        {"--encoding with a name no .cpg can hold",
         {"--encoding", "ISO 8859\t1", "town.txt", "out"},
         2,
         nothing,
         refusal("option '--encoding' needs a code page name such as UTF-8, ISO-8859-1 or "
                 "1252, not 'ISO 8859\t1'"),
         {}},
        {"a value for an option that takes none",
         {"--quiet=yes", "town.txt", "out"},
         2,
         nothing,
         refusal("option '--quiet' takes no value"),
         {}},
        {"options but one file name",
         {"-q", "--spatial-index", "town.txt"},
         2,
         nothing,
         refusal(""),
         {}},
        {"-q: no transcript, the same files",
         {"-q", "town.txt", "out"},
         0,
         nothing,
         nothing,
         kPlainRun,
         [](const TempDir& dir) { EXPECT_EQ(readFile(dir.file("out.cpg")), "UTF-8"); }},
        {"--quiet after the file names keeps the warnings",
         {"latin.txt", "out", "--quiet"},
         0,
         nothing,
         exactly(kNoCodePage),
         plus(kIntermediates, kShapefile)},
        {"-q: a rejected text says why on stderr",
         {"bad.txt", "out", "-q"},
         1,
         nothing,
         exactly("vorn2shp: Invaild VORN File \n"
                 "vorn2shp: bad.txt:1: unexpected '<'\n"),
         {"first.imd", "def.imd", "DBF$$$.fld", "second.imd"}},
        {"-q: a failed export gives its message on stderr, as one line",
         {"-q", "town.txt", "nodir/out"},
         1,
         nothing,
         exactly("vorn2shp: nodir/out.shp: No such file or directory\n"
                 "vorn2shp: Unable to create shapefile\n"),
         kIntermediates},
        {"--prj: copied beside the shapefile, and GDAL knows the coordinate system",
         {"town.txt", "out", "--prj", "wgs84.prj"},
         0,
         exactly(transcript("town.info")),
         nothing,
         plus(kPlainRun, {"out.prj"}),
         [](const TempDir& dir) {
             EXPECT_EQ(readFile(dir.file("out.prj")), kWgs84);
             const RunResult info = ogrinfo(dir, {"-ro", "-so", "out.shp", "out"});
             EXPECT_NE(info.out.find("WGS 84"), std::string::npos) << info.out;
             EXPECT_EQ(info.out.find("(unknown)"), std::string::npos) << info.out;
         }},
        {"--prj of a missing file: refused before anything is written",
         {"--prj", "missing.prj", "town.txt", "out"},
         1,
         nothing,
         exactly("vorn2shp: cannot read missing.prj: No such file or directory\n"),
         {}},
        {"--prj of a directory: refused before anything is written",
         {"--prj=adir", "town.txt", "out"},
         1,
         nothing,
         exactly("vorn2shp: cannot read adir: Is a directory\n"),
         {}},
        {"--prj where out.prj cannot be written: no part of the shapefile is written",
         {"--prj=wgs84.prj", "town.txt", "out"},
         1,
         exactly(transcriptUpToTheExport("town.info")),
         exactly("vorn2shp: out.prj: Is a directory\n"),
         kIntermediates,
         nullptr,
         [](const TempDir& dir) { ASSERT_EQ(mkdir(dir.file("out.prj").c_str(), 0755), 0); }},
        {"Latin-1 text without --encoding: no .cpg, and a warning that names the option",
         {"latin.txt", "out"},
         0,
         exactly(transcript("latin.info")),
         exactly(kNoCodePage),
         plus(kIntermediates, kShapefile),
         [](const TempDir& dir) {
             EXPECT_EQ(storedValue(dir, "out", 0),
                       "Do\xF1"
                       "a Ana");
         }},
        {"--encoding ISO-8859-1: the .cpg that GDAL reads the Latin-1 name by",
         {"latin.txt", "out", "--encoding", "ISO-8859-1"},
         0,
         exactly(transcript("latin.info")),
         nothing,
         plus(plus(kIntermediates, kShapefile), {"out.cpg"}),
         [](const TempDir& dir) {
             EXPECT_EQ(readFile(dir.file("out.cpg")), "ISO-8859-1");
             const RunResult info = ogrinfo(dir, {"-ro", "-al", "out.shp"});
             EXPECT_NE(info.out.find("name (String) = Do\xC3\xB1"
                                     "a Ana\n"),
                       std::string::npos)
                 << info.out;
         }},
        {"--encoding 1252, a code page as GDAL names it",
         {"--encoding=1252", "latin.txt", "out"},
         0,
         exactly(transcript("latin.info")),
         nothing,
         plus(plus(kIntermediates, kShapefile), {"out.cpg"}),
         [](const TempDir& dir) {
             EXPECT_EQ(readFile(dir.file("out.cpg")), "1252");
             const RunResult info = ogrinfo(dir, {"-ro", "-al", "out.shp"});
             EXPECT_NE(info.out.find("name (String) = Do\xC3\xB1"
                                     "a Ana\n"),
                       std::string::npos)
                 << info.out;
         }},
        {"--encoding of a single-byte code page cuts long values at 50 bytes",
         {"long.txt", "out", "--encoding", "ISO-8859-1"},
         0,
         exactly(transcript("long.info")),
         exactly(kLongValueCut),
         plus(plus(kIntermediates, kShapefile), {"out.cpg"}),
         [](const TempDir& dir) {
             EXPECT_EQ(storedValue(dir, "out", 1), std::string(49, 'a') + "\xC3");
         }},
        {"--encoding utf8: cut between characters, and the .cpg says UTF-8",
         {"long.txt", "out", "--encoding", "utf8"},
         0,
         exactly(transcript("long.info")),
         exactly(kLongValueCut),
         plus(plus(kIntermediates, kShapefile), {"out.cpg"}),
         [](const TempDir& dir) {
             EXPECT_EQ(readFile(dir.file("out.cpg")), "UTF-8");
             EXPECT_EQ(storedValue(dir, "out", 1), std::string(49, 'a'));
         }},
        {"--encoding UTF-8 over text that is not UTF-8: a warning",
         {"latin.txt", "out", "--encoding", "UTF-8"},
         0,
         exactly(transcript("latin.info")),
         exactly("vorn2shp: out.dbf: the attribute text is not valid UTF-8, though --encoding "
                 "says it is\n"),
         plus(plus(kIntermediates, kShapefile), {"out.cpg"})},
        {"--spatial-index: a .qix that GDAL uses for a window query",
         {"--spatial-index", "grid.txt", "out"},
         0,
         exactly(transcript("grid.info")),
         nothing,
         plus(kPlainRun, {"out.qix"}),
         [](const TempDir& dir) {
             // Cells 1 and 2 of 40 lie in the window (the output's y runs downwards).
             const std::vector<std::string> query = {"--config", "CPL_DEBUG", "ON",     "-ro",
                                                     "-al",      "-spat",     "9",      "-5",
                                                     "25",       "1",         "out.shp"};
             const RunResult info = ogrinfo(dir, query);
             EXPECT_EQ(featureCount(info.out), 2) << info.out;
             EXPECT_NE(info.out.find("name (String) = cell 1\n"), std::string::npos);
             EXPECT_NE(info.out.find("name (String) = cell 2\n"), std::string::npos);
             std::smatch used;
             ASSERT_TRUE(
                 std::regex_search(info.err, used, std::regex("Used spatial index, got ([0-9]+)")))
                 << info.err;
             EXPECT_LT(std::stoi(used[1]), 40) << "the index ruled nothing out";
         }},
        {"--spatial-index where out.qix cannot be created: no part of the shapefile is written",
         {"grid.txt", "out", "--spatial-index"},
         1,
         exactly(transcriptUpToTheExport("grid.info")),
         exactly("vorn2shp: out.qix: Is a directory\n"),
         kIntermediates,
         nullptr,
         [](const TempDir& dir) { ASSERT_EQ(mkdir(dir.file("out.qix").c_str(), 0755), 0); }},
    };
}

TEST(OptionsEndToEnd, EachOptionDoesWhatItSaysAndNoMore) {
    for (const OptionCase& c : optionCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeInputs(dir);
        if (c.before) {
            c.before(dir);
        }
        const auto inputs = filesIn(dir);

        const RunResult run = runProgram(vorn2shpBinary(), c.args, dir.path());

        EXPECT_EQ(run.exitStatus, c.status) << run.err;
        expectText(run.out, c.out, "stdout");
        expectText(run.err, c.err, "stderr");
        auto files = filesIn(dir);
        for (const auto& [name, bytes] : inputs) {
            EXPECT_EQ(files[name], bytes) << name << " changed";
            files.erase(name);
        }
        for (const std::string& name : c.written) {
            EXPECT_EQ(files.erase(name), 1u) << name << " was not written";
        }
        for (const auto& entry : files) {
            ADD_FAILURE() << entry.first << " was written";
        }
        if (c.check) {
            c.check(dir);
        }
    }
}

TEST(OptionsEndToEnd, QuietChangesNothingButTheTranscript) {
    TempDir loud;
    TempDir quiet;
    writeInputs(loud);
    writeInputs(quiet);

    runProgram(vorn2shpBinary(), {"grid.txt", "out", "--spatial-index"}, loud.path());
    runProgram(vorn2shpBinary(), {"grid.txt", "-q", "out", "--spatial-index"}, quiet.path());

    EXPECT_EQ(filesIn(quiet), filesIn(loud));
}

TEST(OptionsEndToEnd, VersionIsTheProjectVersion) {
    TempDir dir;
    const RunResult run = runProgram(vorn2shpBinary(), {"town.txt", "--version"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(std::regex_match(run.out, std::regex("vorn2shp [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << run.out;
}

}  // namespace
}  // namespace vorn2shp::testing
