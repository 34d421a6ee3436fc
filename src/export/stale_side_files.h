// The files of an earlier dataset that readers would take for part of the
// one a run writes: a shapefile is more than its .shp, .shx and .dbf, and a
// spatial or attribute index left behind by an earlier run at the same
// output base would be read with the new data.
#pragma once

#include <string>
#include <vector>

namespace vorn2shp {

// The side files at `outputBase` that a run writing the files `written`
// would leave behind beside its new shapefile, derived from the earlier
// one's data: spatial and attribute indexes (.qix, .sbn, .sbx, .fbn, .fbx,
// .atx, also <base>.<column>.atx, .ain, .aih, .ixs, .mxs) and the code page
// (.cpg), in whatever letter case they have, sorted, and none of `written`.
// Only where a .shp is at the base: without one there is no earlier
// dataset, and what is there was put there by hand. Nothing else, and never
// a directory.
std::vector<std::string> staleSideFiles(const std::string& outputBase,
                                        const std::vector<std::string>& written);

// The projection and metadata files (.prj, .shp.xml) at `outputBase` that a
// run writing the files `written` leaves beside its new shapefile. They
// describe the data rather than derive from it, and are often made by hand,
// so no run takes them away; sorted, and none of `written`.
std::vector<std::string> keptDescriptions(const std::string& outputBase,
                                          const std::vector<std::string>& written);

// The side files among `paths` that are none of the run's `inputs`: an
// input among them stays as it is, with a warning, neither taken away nor
// told as kept.
std::vector<std::string> exceptInputs(const std::vector<std::string>& paths,
                                      const std::vector<std::string>& inputs);

// Names on stderr each side file that the run took away.
void reportRemovedSideFiles(const std::vector<std::string>& paths);

// Names on stderr each projection or metadata file kept beside the new
// shapefile, which the user may have to bring up to date.
void reportKeptDescriptions(const std::vector<std::string>& paths);

}  // namespace vorn2shp
