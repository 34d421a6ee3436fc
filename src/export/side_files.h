// The small files beside a shapefile that tell its readers more about it:
// the code page of the table's text (.cpg), the coordinate system (.prj) and
// a spatial index of the shapes (.qix).
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// How the table's text is stored and declared.
struct TableEncoding {
    bool utf8 = false;     // values and names are cut between UTF-8 characters
    std::string codePage;  // what <base>.cpg says; empty: no .cpg is written
};

// The table's encoding: the code page the user named (`requested`), or,
// when none was named, UTF-8 when the text is valid UTF-8 and no declared
// code page otherwise. Warns, naming `tablePath`, when readers are left to
// guess, or when the text is not what the named code page says.
TableEncoding chooseTableEncoding(const std::string& requested, bool textIsUtf8,
                                  const std::string& tablePath);

// The path of the file with `extension` beside the shapefile whose .shp is
// `shapesPath` (out.shp, "prj" -> out.prj).
std::string besidePath(const std::string& shapesPath, std::string_view extension);

// Writes `bytes` as the whole of `path`. False after the failure has been
// reported on stderr, naming the file by the name it is committed under.
bool writeSideFile(const std::string& path, std::string_view bytes);

// Writes <base>.qix, shapelib's quadtree of the shapes of the complete
// shapefile `shapesPath`, which GDAL and MapServer read. False after the
// failure has been reported on stderr: a partial index must not be
// committed, since a reader would trust it and miss shapes.
bool writeSpatialIndex(const std::string& shapesPath);

}  // namespace vorn2shp
