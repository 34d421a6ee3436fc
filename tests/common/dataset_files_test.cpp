// The names of the dataset's files at the output base, as shapelib makes them.
#include "common/dataset_files.h"

#include <gtest/gtest.h>

namespace vorn2shp {
namespace {

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

}  // namespace
}  // namespace vorn2shp
