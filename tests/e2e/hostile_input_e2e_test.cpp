// Input arranged by a hostile or careless user, through the real binary:
// links and FIFOs at the names the run writes, inputs that are the run's own
// files under another name, streams given as input, ids beyond any integer,
// numbers that are no decimal ones, NUL bytes, and output bases that name no
// file. Each case states the exit status and the whole of stderr; a run
// that fails leaves the directory exactly as it found it, and a run that
// succeeds changes nothing but its intermediate files and the dataset at its
// output base, which GDAL reads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

constexpr const char* kOgrinfo = "/usr/bin/ogrinfo";
// The sanitizers' runtime needs memory and threads of its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
const std::string kTuple = ", 0x - 4y <= 0, 4x + 0y <= 16, -4x + 4y <= 0.\n";
const std::string kMap = "map(id, x, y) :- id = 1" + kTuple + "map(id, x, y) :- id = 2" + kTuple;
const std::vector<std::string> kIntermediates = {"first.imd", "def.imd", "DBF$$$.fld", "second.imd",
                                                 "output.eff.imd"};

// Every entry under `dir`: a file by its bytes, anything else by its kind
// (a FIFO is never opened, a link never followed).
Snapshot snapshot(const std::string& dir) {
    Snapshot entries;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(dir).string();
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status)) {
            entries[name] = "link to " + fs::read_symlink(it->path()).string();
        } else if (fs::is_regular_file(status)) {
            entries[name] = readFile(it->path().string());
        } else {
            entries[name] = fs::is_directory(status) ? "(directory)" : "(fifo or device)";
        }
    }
    return entries;
}

bool isWrittenByTheRun(const std::string& name) {
    return name.rfind("out.", 0) == 0 ||
           std::find(kIntermediates.begin(), kIntermediates.end(), name) != kIntermediates.end();
}

int featureCount(const std::string& dir) {
    const RunResult run = runProgram(kOgrinfo, {"-so", "-al", "out.shp"}, dir);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::smatch match;
    const std::regex count("Feature Count: (\\d+)");
    return std::regex_search(run.out, match, count) ? std::stoi(match[1]) : -1;
}

void link(const TempDir& dir, const std::string& target, const std::string& name) {
    ASSERT_EQ(symlink(target.c_str(), dir.file(name).c_str()), 0) << name;
}

void hardLink(const TempDir& dir, const std::string& existing, const std::string& name) {
    ASSERT_EQ(::link(dir.file(existing).c_str(), dir.file(name).c_str()), 0) << name;
}

void fifo(const TempDir& dir, const std::string& name) {
    fs::remove(dir.file(name));
    ASSERT_EQ(mkfifo(dir.file(name).c_str(), 0600), 0) << name;
}

struct Case {
    std::string what;
    std::vector<std::string> args;
    std::function<void(const TempDir&)> arrange;  // on top of map.txt, .def, .info, .prj, victim
    int exitStatus;
    std::string err;    // the whole of stderr; for status 2 its first line, the usage follows
    int features = -1;  // GDAL's count of the shapes written; -1: none written
    std::vector<std::string> kept = {};  // files at the output base that must stay as they were
};

std::vector<Case> cases() {
    const std::string notRegular = ": not a regular file (a FIFO, socket or device)";
    const std::string viaLink = ": a symbolic link, which the run never writes through";
    const std::string nothing = "; nothing was written\n";
    const auto sameFile = [&nothing](const std::string& input, const std::string& written) {
        return "vorn2shp: cannot use " + input + ": it is the same file as " + written +
               ", which this run writes" + nothing;
    };
    const auto mapText = [](const std::string& text) {
        return [text](const TempDir& dir) { writeFile(dir.file("map.txt"), text); };
    };
    const auto copyAs = [](const std::string& base) {
        return [base](const TempDir& dir) {
            for (const char* extension : {".def", ".info"}) {
                fs::copy_file(dir.file(std::string("map") + extension), dir.file(base + extension));
            }
        };
    };
    std::vector<Case> all;
    // Writes never go through a link, nor into a FIFO.
    for (const std::string& name : kIntermediates) {
        all.push_back({"a link at " + name,
                       {"map.txt", "out"},
                       [name](const TempDir& dir) { link(dir, "victim", name); },
                       1,
                       "vorn2shp: cannot create " + name + viaLink + nothing});
    }
    all.push_back({"a dangling link",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { link(dir, "ghost/created", "second.imd"); },
                   1,
                   "vorn2shp: cannot create second.imd" + viaLink + nothing});
    all.push_back({"a FIFO at an intermediate name",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { fifo(dir, "def.imd"); },
                   1,
                   "vorn2shp: cannot create def.imd" + notRegular + nothing});
    all.push_back(
        {"links at every file of the dataset",
         {"--prj", "map.prj", "--spatial-index", "map.txt", "out"},
         [](const TempDir& dir) {
             for (const char* name : {"out.shp", "out.shx", "out.cpg", "out.prj", "out.qix"}) {
                 link(dir, "victim", name);
             }
             link(dir, "sub", "out.dbf");
         },
         0,
         "",
         2});
    // Inputs are never overwritten, whatever name they go by.
    for (const std::string name : {"first.imd", "second.imd", "output.eff.imd"}) {
        all.push_back({"the intermediate " + name + " as input",
                       {name, "out"},
                       [name](const TempDir& dir) { writeFile(dir.file(name), kMap); },
                       1,
                       sameFile(name, name)});
    }
    all.push_back({"a hard link to second.imd as input",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { hardLink(dir, "map.txt", "second.imd"); },
                   1,
                   sameFile("map.txt", "second.imd")});
    all.push_back({"the .def hard-linked as DBF$$$.fld",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { hardLink(dir, "map.def", "DBF$$$.fld"); },
                   1,
                   sameFile("map.def", "DBF$$$.fld")});
    all.push_back({"a link to second.imd as input",
                   {"in.txt", "out"},
                   [copyAs](const TempDir& dir) {
                       writeFile(dir.file("second.imd"), kMap);
                       link(dir, "second.imd", "in.txt");
                       copyAs("in")(dir);
                   },
                   1,
                   sameFile("in.txt", "second.imd")});
    for (const auto& [input, base] : std::vector<std::pair<std::string, std::string>>{
             {"t.dbf", "t.x"}, {"t.shp", "t"}, {"t.cpg", "t"}, {"t.qix", "t"}}) {
        std::vector<std::string> args = {input, base};
        if (input == "t.qix") {
            args.push_back("--spatial-index");
        }
        all.push_back({"the input " + input + " with the base " + base, args,
                       [input = input, copyAs](const TempDir& dir) {
                           writeFile(dir.file(input), kMap);
                           copyAs("t")(dir);
                       },
                       1, sameFile(input, "t" + input.substr(1))});
    }
    all.push_back(
        {"the .prj of the base as --prj",
         {"--prj", "out.prj", "map.txt", "out"},
         [](const TempDir& dir) { fs::copy_file(dir.file("map.prj"), dir.file("out.prj")); },
         0,
         "",
         2,
         {"out.prj"}});
    // Streams are refused without being waited on.
    all.push_back({"a FIFO as the constraint file",
                   {"pipe.txt", "out"},
                   [copyAs](const TempDir& dir) {
                       fifo(dir, "pipe.txt");
                       copyAs("pipe")(dir);
                   },
                   1,
                   "vorn2shp: cannot read pipe.txt" + notRegular + "\n"});
    all.push_back({"a FIFO as the .def",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { fifo(dir, "map.def"); },
                   1,
                   "vorn2shp: cannot read map.def" + notRegular + "\n"});
    all.push_back({"/dev/zero as the constraint file",
                   {"/dev/zero", "out"},
                   nullptr,
                   1,
                   "vorn2shp: cannot read /dev/zero" + notRegular + "\n"});
    all.push_back({"/dev/zero as --prj",
                   {"--prj", "/dev/zero", "map.txt", "out"},
                   nullptr,
                   1,
                   "vorn2shp: cannot read /dev/zero" + notRegular + "\n"});
    // Nothing is substituted in silence.
    all.push_back({"ids beyond every integer",
                   {"map.txt", "out"},
                   mapText("map(id, x, y) :- id = 99999999999999999999" + kTuple +
                           "map(id, x, y) :- id = 99999999999999999998" + kTuple),
                   0,
                   "",
                   2});
    all.push_back({"more .def lines than objects",
                   {"map.txt", "out"},
                   [](const TempDir& dir) { writeFile(dir.file("map.def"), "a\nb\nc,d\n\n"); },
                   0,
                   "vorn2shp: def.imd has more lines than there are objects (2): line 3 belongs to "
                   "no object and was not used\n",
                   2});
    for (const std::string number : {"nan", "inf", "0x10"}) {
        all.push_back({"the constant " + number,
                       {"map.txt", "out"},
                       mapText(kMap + "map(id, x, y) :- id = 2, 0x - 4y <= 0, 4x + 0y <= 16, " +
                               "-4x + 4y >= " + number + ".\n"),
                       0,
                       "vorn2shp: object 2: rule 3 has \"" + number +
                           "\" for a number, which is no decimal number; the tuple was left out\n",
                       2});
    }
    all.push_back(
        {"a NUL byte in the .def and the .info",
         {"map.txt", "out"},
         [](const TempDir& dir) {
             writeFile(dir.file("map.def"), std::string("Po\0nd,water\nField,farm\n", 23));
             writeFile(dir.file("map.info"), std::string("map\nMap(na\0me, kind).\n", 22));
         },
         0,
         "vorn2shp: map.def:1: NUL byte; every attribute value that holds one ends there "
         "in the table\n"
         "vorn2shp: map.info:2: NUL byte in the field list; the field name that holds it "
         "ends there\n",
         2});
    // An output base must name the files.
    for (const std::string base : {"", ".", "..", "sub/", "sub/.", "sub/.."}) {
        all.push_back({"the output base '" + base + "'",
                       {"map.txt", base},
                       nullptr,
                       2,
                       "vorn2shp: the output base '" + base +
                           "' has no file name part to name the .shp, .shx and .dbf after\n"});
    }
    all.push_back({"the output base 'sub/.hidden'",
                   {"map.txt", "sub/.hidden"},
                   nullptr,
                   2,
                   "vorn2shp: the output base 'sub/.hidden' has no file name part: '.hidden' "
                   "leaves none once its extension is cut\n"});
    return all;
}

TEST(HostileInput, NeverRedirectsAWriteDestroysAnInputOrSubstitutesInSilence) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir.file("map.txt"), kMap);
        writeFile(dir.file("map.def"), "Pond,water\nField,farm\n");
        writeFile(dir.file("map.info"), "map\nMap(name, kind).\n");
        writeFile(dir.file("map.prj"), "GEOGCS[\"GCS_WGS_1984\"]");
        writeFile(dir.file("victim"), "a file of someone else's");
        ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
        if (c.arrange) {
            c.arrange(dir);
        }
        const Snapshot before = snapshot(dir.path());

        const RunResult run = runProgram(vorn2shpBinary(), c.args, dir.path());

        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
        Snapshot after = snapshot(dir.path());
        if (c.exitStatus == 2) {
            const std::size_t lineEnd = run.err.find('\n') + 1;
            EXPECT_EQ(run.err.substr(0, lineEnd), c.err);
            EXPECT_EQ(run.err.compare(lineEnd, 6, "usage:"), 0) << run.err;
        } else {
            EXPECT_EQ(run.err, c.err);
        }
        if (c.features < 0) {
            EXPECT_EQ(after, before) << "the run wrote or changed something";
            continue;
        }
        EXPECT_EQ(featureCount(dir.path()), c.features);
        EXPECT_EQ(after.at("out.shp").rfind("link to", 0), std::string::npos);
        for (const auto& [name, bytes] : before) {
            const bool kept = std::find(c.kept.begin(), c.kept.end(), name) != c.kept.end();
            if (kept || !isWrittenByTheRun(name)) {
                EXPECT_EQ(after[name], bytes) << name << " was changed";
            }
        }
    }
}

// A line too long for the memory the run may have: a sparse file of 256 MiB
// without a line end, read with 192 MiB of address space. The run ends with a
// message naming the file and exit 1, not an abort.
TEST(HostileInput, ALineTooLongForMemoryEndsTheRunWithAMessage) {
    if (kSanitized) {
        GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
    }
    if (!fileExists("/usr/bin/prlimit")) {
        GTEST_SKIP() << "needs prlimit";
    }
    TempDir dir;
    writeFile(dir.file("big.txt"), "");
    fs::resize_file(dir.file("big.txt"), 256u << 20);
    const RunResult run = runProgram(
        "/usr/bin/prlimit",
        {"--as=" + std::to_string(192u << 20), vorn2shpBinary(), "big.txt", "out"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("vorn2shp: cannot read big.txt: Cannot allocate memory\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fileExists(dir.file("first.imd")));
    EXPECT_FALSE(fileExists(dir.file("out.shp")));
}

// A run that may not start the threads it works with, for a user who may
// run no more processes (a uid no other process has): a message, exit 1,
// nothing written, and no abort.
TEST(HostileInput, ThreadsThatCannotStartEndTheRunWithAMessage) {
    if (kSanitized) {
        GTEST_SKIP() << "LeakSanitizer needs a thread of its own when the run ends";
    }
    if (geteuid() != 0 || !fileExists("/usr/bin/prlimit") || !fileExists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs root, prlimit and setpriv";
    }
    TempDir dir;
    writeFile(dir.file("map.txt"), kMap);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const RunResult run =
        runProgram("/usr/bin/prlimit",
                   {"--nproc=1", "/usr/bin/setpriv", "--reuid=54321", "--regid=54321",
                    "--clear-groups", vorn2shpBinary(), "map.txt", "out"},
                   dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.err, "vorn2shp: Resource temporarily unavailable; the run stops here\n");
    EXPECT_EQ(snapshot(dir.path()), (Snapshot{{"map.txt", kMap}}));
}

}  // namespace
}  // namespace vorn2shp::testing
