// The files of the dataset that a run writes at its output base, named as
// shapelib names them. The driver checks them against the run's inputs
// before anything is written; the export writes and commits them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp {

// The path that shapelib writes a dataset under: `outputBase` without the
// extension of its last path component ("maps/out.v2" gives "maps/out").
std::string datasetBase(const std::string& outputBase);

// What a run writes beside the shapes (.shp), their index (.shx) and the
// table (.dbf).
struct SideFiles {
    bool codePage = false;      // .cpg, the code page of the table's text
    bool projection = false;    // .prj, the coordinate system (--prj)
    bool spatialIndex = false;  // .qix, shapelib's quadtree of the shapes (--spatial-index)
};

// The extensions of the dataset's files: "shp", "shx" and "dbf", then those
// of `sides`, "cpg", "prj" and "qix", in that order.
std::vector<std::string_view> datasetParts(const SideFiles& sides);

}  // namespace vorn2shp
