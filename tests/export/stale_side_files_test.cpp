// The side files of an earlier dataset at the output base: which are found,
// that only they are taken away, never a directory or an input file, and
// that a projection or metadata file is kept.
#include "export/stale_side_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

using Paths = std::vector<std::string>;

TEST(StaleSideFiles, FindsEveryDerivedFileInAnyCaseAndKeepsTheDescriptions) {
    ScopedWorkDir dir;
    for (const char* name :
         {"out.qix", "out.SBN",      "out.Sbx",     "out.fbn",     "out.FBX",
          "out.atx", "out.name.atx", "out.Pop.ATX", "out.a.b.atx", "out..atx",
          "out.ain", "out.aih",      "out.ixs",     "out.mxs",     "out.CPG",
          "out.cpg", "out.prj",      "out.PRJ",     "out.shp.xml", "out.shp",
          "out.txt", "out.qix.bak",  "outer.qix",   "Out.qix",     "other.qix"}) {
        writeFile(name, "old");
    }
    ASSERT_EQ(mkdir("out.sbx", 0755), 0);
    ASSERT_EQ(mkdir("sub", 0755), 0);
    writeFile("sub/out.qix", "old");
    writeFile("sub/out.prj", "old");

    const Paths derived{"out.CPG", "out.FBX", "out.Pop.ATX",  "out.SBN", "out.Sbx",
                        "out.aih", "out.ain", "out.atx",      "out.cpg", "out.fbn",
                        "out.ixs", "out.mxs", "out.name.atx", "out.qix"};
    EXPECT_EQ(staleSideFiles("out", {}), derived);
    EXPECT_EQ(keptDescriptions("out", {}), (Paths{"out.PRJ", "out.prj", "out.shp.xml"}));
    // A file the run writes itself is neither stale nor kept; the other
    // case of it is.
    EXPECT_EQ(staleSideFiles("out.v2", {"out.cpg"}).size(), derived.size() - 1);
    EXPECT_EQ(keptDescriptions("out.v2", {"out.prj"}), (Paths{"out.PRJ", "out.shp.xml"}));
    // Without a .shp there is no earlier dataset: nothing is stale, and the
    // descriptions are kept all the same.
    EXPECT_EQ(staleSideFiles("sub/out", {}), Paths{});
    EXPECT_EQ(keptDescriptions("sub/out", {}), Paths{"sub/out.prj"});
    EXPECT_EQ(staleSideFiles("missing/out", {}), Paths{});
}

TEST(StaleSideFiles, AnInputFileIsNeverAmongThoseTakenAway) {
    ScopedWorkDir dir;
    for (const char* name : {"town.shp", "town.qix", "town.cpg", "town.def"}) {
        writeFile(name, "old");
    }
    ::testing::internal::CaptureStderr();
    const Paths removable =
        exceptInputs(staleSideFiles("town", {}), {"./town.cpg", "town.def", "town.info"});
    reportRemovedSideFiles(removable);
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(removable, Paths{"town.qix"});
    EXPECT_EQ(err,
              "vorn2shp: town.cpg is left in place: it is an input of this run, though readers "
              "take it for part of the new dataset\n"
              "vorn2shp: removed town.qix, left by an earlier dataset at this output base\n");
}

}  // namespace
}  // namespace vorn2shp::testing
