// The values of --encoding and --prj looked at as their readers will look
// at them. Neither stops a run: the file is written as the user asked, and
// the warning says what the readers will make of it.
#pragma once

#include <string>

namespace vorn2shp {

// Warns when `codePage` is a name that neither iconv nor GDAL's reading of
// a .cpg knows: readers then show the table's bytes unrecoded.
// `cpgPath` is the .cpg it is written to.
void checkCodePageName(const std::string& codePage, const std::string& cpgPath);

// Warns when `projection`, the bytes of the --prj file `path` that become
// `prjPath`, is empty or not the WKT of a coordinate system, which is what
// readers look for in a .prj.
void checkProjectionText(const std::string& path, const std::string& projection,
                         const std::string& prjPath);

}  // namespace vorn2shp
