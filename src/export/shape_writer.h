// The shape type of the output, and the writing of one shape and one table
// row for every record line of output.eff.imd.
#pragma once

#include <shapefil.h>

#include <string>
#include <vector>

#include "column_layout.h"
#include "common/text_file.h"
#include "format_limits.h"
#include "record_line.h"
#include "text_places.h"
#include "write_monitor.h"

namespace vorn2shp {

// SHPT_POINT when the first record line holds one vertex, SHPT_POLYGON when
// its last ring closes, SHPT_ARC otherwise. A file without any record line
// gives SHPT_POLYGON. Leaves the file at its start.
int chooseShapeType(LineReader& file);

// Exact comparison, so 0.0 and -0.0 are the same coordinate.
bool sameVertex(double x1, double y1, double x2, double y2);

// Where each ring of a polygon line starts. A ring closes at a vertex equal
// to its own first vertex, at least three vertices after it; the vertices
// after the last closing form the last ring.
std::vector<int> ringStarts(const RecordLine& record);

// What the records are written into.
struct ExportTarget {
    SHPHandle shp = nullptr;
    DBFHandle dbf = nullptr;
    std::vector<TableColumn> columns;  // the table's columns, in order
    bool utf8 = false;                 // whether the table's bytes are UTF-8
    // The widest a text column is: longer values are cut to fit, and told.
    std::size_t textWidth = kDefaultTextWidth;
    bool keepY = false;  // y as the constraints give it: output.eff.imd holds it negated
    const WriteMonitor* monitor = nullptr;
    const TextPlaces* places = nullptr;  // where the values came from, for the messages
    const FormatLimits* limits = nullptr;
};

// Adds the table's columns; all of them must exist before the first row.
// False after a failure has been reported on stderr.
bool addColumns(const ExportTarget& target);

// Writes one shape and one row for every non-empty line of `file`, the row
// holding the line's values (blank where the line has fewer values than the
// table has columns; null in a number column). Leaves the file at its
// start. False after a failure has been reported on stderr, a .shp that
// would pass the format's largest size among them.
bool writeRecords(LineReader& file, const ExportTarget& target);

}  // namespace vorn2shp
