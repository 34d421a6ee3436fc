#include "export_fixture.h"

#include <shapefil.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "export/shape_exporter.h"

namespace vorn2shp::testing {

namespace {

using ShapesPtr = std::unique_ptr<SHPInfo, decltype(&SHPClose)>;
using TablePtr = std::unique_ptr<DBFInfo, decltype(&DBFClose)>;

ShapesPtr openShapes() {
    ShapesPtr shp(SHPOpen("out", "rb"), &SHPClose);
    EXPECT_TRUE(shp) << "cannot open out.shp";
    return shp;
}

TablePtr openTable() {
    TablePtr dbf(DBFOpen("out", "rb"), &DBFClose);
    EXPECT_TRUE(dbf) << "cannot open out.dbf";
    return dbf;
}

std::vector<Ring> ringsOf(const SHPObject& object) {
    std::vector<Ring> rings;
    const int parts = object.nParts > 0 ? object.nParts : 1;
    for (int part = 0; part < parts; ++part) {
        const int first = object.nParts > 0 ? object.panPartStart[part] : 0;
        const int last = part + 1 < parts ? object.panPartStart[part + 1] : object.nVertices;
        Ring& ring = rings.emplace_back();
        for (int v = first; v < last; ++v) {
            ring.push_back({object.padfX[v], object.padfY[v]});
        }
    }
    return rings;
}

}  // namespace

ExportRun ExportTest::run(const std::string& eff, const std::string& fieldList,
                          const std::string& base) {
    writeFile("output.eff.imd", eff);
    writeFile("DBF$$$.fld", fieldList);
    return runExport(base);
}

ExportRun ExportTest::runExport(const std::string& base) {
    ExportRun result;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Console console;
    StagingRegistry staging;
    result.ok = exportShapefile("output.eff.imd", base, options_, console, staging);
    result.err = ::testing::internal::GetCapturedStderr();
    result.out = ::testing::internal::GetCapturedStdout();
    return result;
}

int ExportTest::shapeType() const {
    int type = -1;
    if (const ShapesPtr shp = openShapes()) {
        SHPGetInfo(shp.get(), nullptr, &type, nullptr, nullptr);
    }
    return type;
}

std::vector<std::vector<Ring>> ExportTest::shapes() const {
    std::vector<std::vector<Ring>> result;
    const ShapesPtr shp = openShapes();
    int count = 0;
    if (shp) {
        SHPGetInfo(shp.get(), &count, nullptr, nullptr, nullptr);
    }
    for (int i = 0; i < count; ++i) {
        const std::unique_ptr<SHPObject, decltype(&SHPDestroyObject)> object(
            SHPReadObject(shp.get(), i), &SHPDestroyObject);
        result.push_back(ringsOf(*object));
    }
    return result;
}

std::vector<std::string> ExportTest::columns() const {
    std::vector<std::string> names;
    const TablePtr dbf = openTable();
    for (int f = 0; dbf && f < DBFGetFieldCount(dbf.get()); ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        EXPECT_EQ(DBFGetFieldInfo(dbf.get(), f, name, &width, &decimals), FTString);
        EXPECT_EQ(width, 50);
        EXPECT_EQ(decimals, 0);
        names.emplace_back(name);
    }
    return names;
}

std::vector<std::vector<std::string>> ExportTest::rows() const {
    std::vector<std::vector<std::string>> table;
    const TablePtr dbf = openTable();
    for (int r = 0; dbf && r < DBFGetRecordCount(dbf.get()); ++r) {
        std::vector<std::string>& row = table.emplace_back();
        for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
            row.emplace_back(DBFReadStringAttribute(dbf.get(), r, f));
        }
    }
    return table;
}

std::string ExportTest::storedValue(int row, int field) const {
    const TablePtr dbf = openTable();
    const char* record = dbf ? DBFReadTuple(dbf.get(), row) : nullptr;
    return record != nullptr ? std::string(record + 1 + 50 * field, 50) : "";
}

double signedArea(const Ring& ring) {
    double twice = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        twice += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
    }
    return twice;
}

std::string outlinePairs(int points, double x, bool closed) {
    std::string pairs;
    for (int i = 0; i < points + (closed ? 1 : 0); ++i) {
        const double angle = 2 * M_PI * (i % points) / points;
        char pair[64];
        std::snprintf(pair, sizeof pair, "(%.4f,%.4f),", x + std::cos(angle), std::sin(angle));
        pairs += pair;
    }
    return pairs;
}

}  // namespace vorn2shp::testing
