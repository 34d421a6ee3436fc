// Runs the export stage in a scratch working directory on a hand-written
// output.eff.imd and DBF$$$.fld, and reads what it wrote back through
// shapelib's reader.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn2shp::testing {

struct ExportRun {
    int status = -1;
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
    // Writes both input files and exports them to the base "out" (or `base`).
    ExportRun run(const std::string& eff, const std::string& fieldList = "name, count\r\n",
                  const std::string& base = "out");
    // Exports whatever input files the working directory holds.
    ExportRun runExport(const std::string& base = "out");

    // The shapes, as rings of points (a point or arc shape is one ring).
    std::vector<std::vector<Ring>> shapes(const std::string& base = "out") const;
    int shapeType(const std::string& base = "out") const;
    std::vector<std::string> columns(const std::string& base = "out") const;
    // Values as the reader gives them (blanks around them trimmed).
    std::vector<std::vector<std::string>> rows(const std::string& base = "out") const;
    // The 50 bytes of one field as stored.
    std::string storedValue(int row, int field, const std::string& base = "out") const;

    const ScopedWorkDir& dir() const { return dir_; }

private:
    ScopedWorkDir dir_;
};

// Twice the signed area of a ring: negative when the ring runs clockwise.
double signedArea(const Ring& ring);

}  // namespace vorn2shp::testing
