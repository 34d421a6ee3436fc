// The staging of a shapefile: files named as shapelib names them, written
// beside their final place, and committed all together or not at all.
#include "export/staged_shapefile.h"

#include <gtest/gtest.h>
#include <shapefil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

// Every name under `dir`, hidden ones included, as paths relative to it,
// but the lock file that staging and committing take, which stays.
std::set<std::string> namesUnder(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.path().filename() != ".vorn2shp-lock") {
            names.insert(entry.path().lexically_relative(dir).string());
        }
    }
    return names;
}

// The base names a user may give, and where shapelib puts the .shp of each.
TEST(StagedShapefile, NamesTheFilesAsShapelibDoes) {
    const struct {
        const char* base;
        const char* shapes;
    } cases[] = {
        {"out", "out.shp"},         {"roads.v2", "roads.shp"},      {"my.map.v2", "my.map.shp"},
        {"sub/out", "sub/out.shp"}, {"sub.d/out", "sub.d/out.shp"}, {"sub/.hidden", "sub/.shp"},
        {".hidden", ".hidden.shp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        // shapelib itself, writing in place...
        std::set<std::string> inPlace;
        {
            ScopedWorkDir direct;
            std::filesystem::create_directories("sub");
            std::filesystem::create_directories("sub.d");
            SHPClose(SHPCreate(c.base, SHPT_POLYGON));
            DBFClose(DBFCreate(c.base));
            inPlace = namesUnder(direct.path());
        }
        // ...and through a staging directory, then committed.
        ScopedWorkDir staged;
        std::filesystem::create_directories("sub");
        std::filesystem::create_directories("sub.d");
        StagingRegistry registry;
        StagedShapefile shapefile(registry, c.base);
        EXPECT_EQ(shapefile.finalPath("shp"), c.shapes);
        ASSERT_TRUE(shapefile.create());
        for (const char* extension : {"shp", "dbf", "qix"}) {
            EXPECT_EQ(committedPathOf(shapefile.stagedPath(extension)),
                      shapefile.finalPath(extension));
        }
        SHPClose(SHPCreate(shapefile.stagedBase().c_str(), SHPT_POLYGON));
        DBFClose(DBFCreate(shapefile.stagedBase().c_str()));
        EXPECT_TRUE(fileExists(shapefile.stagedPath("shx")));
        ASSERT_TRUE(shapefile.commit({"shp", "shx", "dbf"}, {}));
        EXPECT_EQ(namesUnder(staged.path()), inPlace);
    }
    EXPECT_EQ(committedPathOf("sub/out.shp"), "sub/out.shp");
    EXPECT_EQ(committedPathOf("/abs/.vorn2shp-staging-Ab3dE9/out.dbf"), "/abs/out.dbf");
}

class StagedShapefileCommit : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"out.shp", "out.shx", "out.dbf", "out.cpg"}) {
            writeFile(name, std::string("earlier ") + name);
        }
    }

    void stage(const std::vector<const char*>& extensions) {
        ASSERT_TRUE(shapefile_.create());
        for (const char* extension : extensions) {
            writeFile(shapefile_.stagedPath(extension), std::string("new ") + extension);
        }
    }

    ScopedWorkDir dir_;
    StagingRegistry registry_;
    StagedShapefile shapefile_{registry_, "out"};
};

TEST_F(StagedShapefileCommit, ReplacesTheEarlierFilesWhole) {
    ASSERT_EQ(chmod("out.dbf", 0640), 0);
    writeFile("elsewhere.shx", "a file the user linked to");
    ASSERT_EQ(unlink("out.shx"), 0);
    ASSERT_EQ(symlink("elsewhere.shx", "out.shx"), 0);
    writeFile("out.QIX", "earlier index");
    stage({"shp", "shx", "dbf", "prj"});

    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(shapefile_.commit({"shp", "shx", "dbf", "prj"}, {"out.cpg", "out.QIX", "out.qix"}));
    // Only what was there is named as taken away.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vorn2shp: removed out.cpg, left by an earlier dataset at this output base\n"
              "vorn2shp: removed out.QIX, left by an earlier dataset at this output base\n");

    EXPECT_EQ(namesUnder("."),
              (std::set<std::string>{"elsewhere.shx", "out.dbf", "out.prj", "out.shp", "out.shx"}));
    for (const char* extension : {"shp", "shx", "dbf", "prj"}) {
        EXPECT_EQ(readFile(std::string("out.") + extension), std::string("new ") + extension);
    }
    // The earlier file's permissions stay; a link is replaced, not written through.
    struct stat status {};
    ASSERT_EQ(stat("out.dbf", &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    ASSERT_EQ(lstat("out.shx", &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(readFile("elsewhere.shx"), "a file the user linked to");
}

TEST_F(StagedShapefileCommit, PutsEverythingBackWhenAFileCannotBeMoved) {
    writeFile("elsewhere.shx", "earlier out.shx");
    writeFile("out.qix", "earlier out.qix");
    ASSERT_EQ(unlink("out.shx"), 0);
    ASSERT_EQ(symlink("elsewhere.shx", "out.shx"), 0);
    stage({"shp", "shx", "dbf", "prj"});
    // Something takes the place of the .shp after the export checked it.
    ASSERT_EQ(unlink("out.shp"), 0);
    ASSERT_EQ(mkdir("out.shp", 0755), 0);
    writeFile("out.shp/keep", "");

    ::testing::internal::CaptureStderr();
    const bool committed = shapefile_.commit({"shp", "shx", "dbf", "prj"}, {"out.cpg", "out.qix"});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "vorn2shp: out.shp: Is a directory\n");

    EXPECT_FALSE(committed);
    EXPECT_EQ(namesUnder("."),
              (std::set<std::string>{"elsewhere.shx", "out.cpg", "out.dbf", "out.qix", "out.shp",
                                     "out.shp/keep", "out.shx"}));
    for (const char* name : {"out.shx", "out.dbf", "out.cpg", "out.qix"}) {
        EXPECT_EQ(readFile(name), std::string("earlier ") + name);
    }
    EXPECT_EQ(std::filesystem::read_symlink("out.shx"), "elsewhere.shx");
}

TEST_F(StagedShapefileCommit, WhatIsNotCommittedIsDiscarded) {
    {
        StagedShapefile abandoned(registry_, "out");
        ASSERT_TRUE(abandoned.create());
        writeFile(abandoned.stagedPath("shp"), "new shp");
        EXPECT_EQ(namesUnder(".").size(), 6u);
    }
    EXPECT_EQ(namesUnder("."), (std::set<std::string>{"out.cpg", "out.dbf", "out.shp", "out.shx"}));
    EXPECT_EQ(readFile("out.shp"), "earlier out.shp");
}

TEST_F(StagedShapefileCommit, RefusesToReplaceWhatCreatingInPlaceWouldNot) {
    ASSERT_EQ(mkdir("out.prj", 0755), 0);
    ASSERT_EQ(chmod("out.dbf", 0444), 0);
    ASSERT_EQ(unlink("out.shx"), 0);
    ASSERT_EQ(symlink("out.prj", "out.shx"), 0);
    EXPECT_EQ(shapefile_.replacementError("shx"), 0);  // the link, not the directory
    EXPECT_EQ(shapefile_.replacementError("shp"), 0);
    EXPECT_EQ(shapefile_.replacementError("qix"), 0);  // none yet
    EXPECT_EQ(shapefile_.replacementError("prj"), EISDIR);
    // Permission bits do not stop root.
    EXPECT_EQ(shapefile_.replacementError("dbf"), geteuid() == 0 ? 0 : EACCES);
}

}  // namespace
}  // namespace vorn2shp::testing
