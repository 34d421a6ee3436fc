// The side files of an earlier dataset at the output base: which are found,
// and that only they are taken away, never a directory or an input file.
#include "export/stale_side_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "export/shape_exporter.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

using Paths = std::vector<std::string>;

TEST(DatasetBase, CutsTheExtensionAsShapelibDoes) {
    const struct {
        const char* base;
        const char* dataset;
    } cases[] = {
        {"out", "out"},
        {"out.v2", "out"},
        {"maps.old/out", "maps.old/out"},
        {"my.data.v2", "my.data"},
        {".hidden", ".hidden"},
        {"dir/.hidden", "dir/"},
        {"./out", "./out"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(datasetBase(c.base), c.dataset) << c.base;
    }
}

TEST(StaleSideFiles, FindsEverySideFileInAnyCaseAndNothingElse) {
    ScopedWorkDir dir;
    for (const char* name :
         {"out.qix", "out.SBN", "out.Sbx", "out.prj", "out.shp.xml", "out.CPG", "out.cpg",
          "out.shp", "out.txt", "out.qix.bak", "outer.prj", "Out.prj", "other.qix"}) {
        writeFile(name, "old");
    }
    ASSERT_EQ(mkdir("out.sbx", 0755), 0);
    ASSERT_EQ(mkdir("sub", 0755), 0);
    writeFile("sub/out.prj", "old");

    EXPECT_EQ(staleSideFiles("out", {}), (Paths{"out.CPG", "out.SBN", "out.Sbx", "out.cpg",
                                                "out.prj", "out.qix", "out.shp.xml"}));
    // A file the run writes itself is no stale one; the other case of it is.
    EXPECT_EQ(staleSideFiles("out.v2", {"out.cpg"}),
              (Paths{"out.CPG", "out.SBN", "out.Sbx", "out.prj", "out.qix", "out.shp.xml"}));
    EXPECT_EQ(staleSideFiles("sub/out", {}), (Paths{"sub/out.prj"}));
    EXPECT_EQ(staleSideFiles("missing/out", {}), Paths{});
}

TEST(StaleSideFiles, AnInputFileIsNeverAmongThoseTakenAway) {
    ScopedWorkDir dir;
    for (const char* name : {"town.qix", "town.prj", "town.def"}) {
        writeFile(name, "old");
    }
    ::testing::internal::CaptureStderr();
    const Paths removable =
        removableSideFiles(staleSideFiles("town", {}), {"./town.prj", "town.def", "town.info"});
    reportRemovedSideFiles(removable);
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(removable, Paths{"town.qix"});
    EXPECT_EQ(err,
              "vorn2shp: town.prj is left in place: it is an input of this run, though readers "
              "take it for part of the new dataset\n"
              "vorn2shp: removed town.qix, left by an earlier dataset at this output base\n");
}

}  // namespace
}  // namespace vorn2shp::testing
