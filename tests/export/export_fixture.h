// Runs the export stage in a scratch working directory on a hand-written
// output.eff.imd and DBF$$$.fld, and reads out.shp/.dbf back through
// shapelib's reader.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/shape_exporter.h"
#include "support/test_support.h"

namespace vorn2shp::testing {

struct ExportRun {
    bool ok = false;  // what the export returned
    std::string out;
    std::string err;
};

struct Point {
    double x;
    double y;
};
using Ring = std::vector<Point>;

class ExportTest : public ::testing::Test {
protected:
    // Writes both input files and exports them to the base `base`.
    ExportRun run(const std::string& eff, const std::string& fieldList = "name, count\r\n",
                  const std::string& base = "out");
    // Exports whatever input files the working directory holds to "out".
    ExportRun runExport(const std::string& base = "out");

    // What out.shp holds: its type, and each shape as rings of points (a
    // point or arc shape is one ring).
    int shapeType() const;
    std::vector<std::vector<Ring>> shapes() const;
    // The columns of out.dbf (each checked to be text of width 50), its rows
    // as the reader gives them (blanks around values trimmed), and the 50
    // bytes of one field as stored.
    std::vector<std::string> columns() const;
    std::vector<std::vector<std::string>> rows() const;
    std::string storedValue(int row, int field) const;

    const ScopedWorkDir& dir() const { return dir_; }

    // What the runs ask for beyond the shapefile.
    ExportOptions options_;

private:
    ScopedWorkDir dir_;
};

// Twice the signed area of a ring: negative when the ring runs clockwise.
double signedArea(const Ring& ring);

// The coordinate pairs of a record line, "(x,y)," each: `points` corners of
// a polygon around (`x`, 0), and the first again when `closed`. Lines of
// thousands of points take far longer to prepare than short ones.
std::string outlinePairs(int points, double x, bool closed);

}  // namespace vorn2shp::testing
