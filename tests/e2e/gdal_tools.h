// GDAL's tools as the end-to-end tests use them to read the output: the
// fixture that skips where they are not installed, queries, the values of
// a listing, and the case folders of tests/cases run again for them.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {

inline const std::string kOgrinfo = programOnPath("ogrinfo");
inline const std::string kOgr2ogr = programOnPath("ogr2ogr");

class GdalReadsTheOutput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(kOgrinfo) || !fileExists(kOgr2ogr)) {
            GTEST_SKIP() << "GDAL's ogrinfo is not installed (scripts/setup.sh test installs it)";
        }
    }
};

// Runs an SQLite-dialect query over the shapefiles of `dir` and returns
// ogrinfo's feature listing.
inline std::string ogrQuery(const std::string& dir, const std::string& sql) {
    const RunResult run = runProgram(kOgrinfo, {"-q", "-dialect", "sqlite", "-sql", sql, dir}, dir);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    // ogrinfo reports a failing statement on stderr but still exits 0.
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
    return run.out;
}

// Every "  <field> (<type>) = <value>" line of an ogrinfo listing, in order.
inline std::vector<std::string> fieldValues(const std::string& listing, const std::string& field) {
    std::vector<std::string> values;
    std::istringstream lines(listing);
    std::string line;
    const std::string prefix = "  " + field + " (";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) == 0) {
            values.push_back(line.substr(line.find(" = ") + 3));
        }
    }
    return values;
}

// Case `name` of tests/cases run in `dir`.
inline RunResult runCase(const std::string& name, const TempDir& dir) {
    const std::string caseDir = casesDir() + "/" + name;
    arrangeCase(caseDir, dir.path());
    return runProgram(vorn2shpBinary(), caseArguments(caseDir), dir.path());
}

inline RunResult ogrinfo(const TempDir& dir, const std::vector<std::string>& args) {
    RunResult run = runProgram(kOgrinfo, args, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return run;
}

inline int featureCount(const std::string& listing) {
    int count = 0;
    for (std::size_t at = listing.find("OGRFeature("); at != std::string::npos;
         at = listing.find("OGRFeature(", at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace vorn2shp::testing
