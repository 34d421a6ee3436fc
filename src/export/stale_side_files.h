// The files of an earlier dataset that readers would take for part of the
// one a run writes: a shapefile is more than its .shp, .shx and .dbf, and a
// spatial index or projection left behind by an earlier run at the same
// output base would be read with the new data.
#pragma once

#include <string>
#include <vector>

namespace vorn2shp {

// The side files at `outputBase` that a run writing the files `written`
// would leave behind: spatial indexes (.qix, .sbn, .sbx), projection (.prj),
// metadata (.shp.xml) and code page (.cpg), in whatever letter case they
// have, sorted, and none of `written`. Nothing else, and never a directory.
std::vector<std::string> staleSideFiles(const std::string& outputBase,
                                        const std::vector<std::string>& written);

// The side files among `paths` that the run may take away: each that is the
// same file as one of `inputs` stays, with a warning.
std::vector<std::string> removableSideFiles(const std::vector<std::string>& paths,
                                            const std::vector<std::string>& inputs);

// Names on stderr each side file that the run took away.
void reportRemovedSideFiles(const std::vector<std::string>& paths);

}  // namespace vorn2shp
