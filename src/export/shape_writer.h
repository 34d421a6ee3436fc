// The shape type of the output, and the writing of one shape and one table
// row for every record line of output.eff.imd.
#pragma once

#include <shapefil.h>

#include <string>
#include <vector>

#include "common/text_file.h"
#include "record_line.h"
#include "text_places.h"
#include "write_monitor.h"

namespace vorn2shp {

// dBASE text columns hold at most this many bytes; longer values are cut.
constexpr int kValueWidth = 50;

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
    std::vector<std::string> columns;  // the table's text columns, in order
    bool utf8 = false;                 // whether the table's bytes are UTF-8
    const WriteMonitor* monitor = nullptr;
    const TextPlaces* places = nullptr;  // where the values came from, for the messages
};

// Adds the table's columns; all of them must exist before the first row.
// False after a failure has been reported on stderr.
bool addColumns(const ExportTarget& target);

// Writes one shape and one row for every non-empty line of `file`, the row
// holding the line's values (blank where the line has fewer values than the
// table has columns). Leaves the file at its start. False after a failure
// has been reported on stderr.
bool writeRecords(LineReader& file, const ExportTarget& target);

}  // namespace vorn2shp
