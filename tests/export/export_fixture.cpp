#include "export_fixture.h"

#include <shapefil.h>

#include "export/shape_exporter.h"

namespace vorn2shp::testing {

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
    result.status = exportShapefile("output.eff.imd", base);
    result.err = ::testing::internal::GetCapturedStderr();
    result.out = ::testing::internal::GetCapturedStdout();
    return result;
}

std::vector<std::vector<Ring>> ExportTest::shapes(const std::string& base) const {
    std::vector<std::vector<Ring>> result;
    SHPHandle shp = SHPOpen(base.c_str(), "rb");
    if (shp == nullptr) {
        ADD_FAILURE() << "cannot open " << base << ".shp";
        return result;
    }
    int count = 0;
    SHPGetInfo(shp, &count, nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        SHPObject* object = SHPReadObject(shp, i);
        std::vector<Ring> rings;
        const int parts = object->nParts > 0 ? object->nParts : 1;
        for (int part = 0; part < parts; ++part) {
            const int first = object->nParts > 0 ? object->panPartStart[part] : 0;
            const int last = part + 1 < parts ? object->panPartStart[part + 1] : object->nVertices;
            Ring ring;
            for (int v = first; v < last; ++v) {
                ring.push_back({object->padfX[v], object->padfY[v]});
            }
            rings.push_back(ring);
        }
        result.push_back(rings);
        SHPDestroyObject(object);
    }
    SHPClose(shp);
    return result;
}

int ExportTest::shapeType(const std::string& base) const {
    int type = -1;
    SHPHandle shp = SHPOpen(base.c_str(), "rb");
    if (shp != nullptr) {
        SHPGetInfo(shp, nullptr, &type, nullptr, nullptr);
        SHPClose(shp);
    }
    return type;
}

std::vector<std::string> ExportTest::columns(const std::string& base) const {
    std::vector<std::string> names;
    DBFHandle dbf = DBFOpen(base.c_str(), "rb");
    if (dbf == nullptr) {
        ADD_FAILURE() << "cannot open " << base << ".dbf";
        return names;
    }
    for (int f = 0; f < DBFGetFieldCount(dbf); ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        EXPECT_EQ(DBFGetFieldInfo(dbf, f, name, &width, &decimals), FTString);
        EXPECT_EQ(width, 50);
        EXPECT_EQ(decimals, 0);
        names.emplace_back(name);
    }
    DBFClose(dbf);
    return names;
}

std::vector<std::vector<std::string>> ExportTest::rows(const std::string& base) const {
    std::vector<std::vector<std::string>> table;
    DBFHandle dbf = DBFOpen(base.c_str(), "rb");
    if (dbf == nullptr) {
        ADD_FAILURE() << "cannot open " << base << ".dbf";
        return table;
    }
    for (int r = 0; r < DBFGetRecordCount(dbf); ++r) {
        std::vector<std::string> row;
        for (int f = 0; f < DBFGetFieldCount(dbf); ++f) {
            row.emplace_back(DBFReadStringAttribute(dbf, r, f));
        }
        table.push_back(row);
    }
    DBFClose(dbf);
    return table;
}

std::string ExportTest::storedValue(int row, int field, const std::string& base) const {
    DBFHandle dbf = DBFOpen(base.c_str(), "rb");
    if (dbf == nullptr) {
        ADD_FAILURE() << "cannot open " << base << ".dbf";
        return {};
    }
    const char* record = DBFReadTuple(dbf, row);
    std::string value = record != nullptr ? std::string(record + 1 + 50 * field, 50) : "";
    DBFClose(dbf);
    return value;
}

double signedArea(const Ring& ring) {
    double twice = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        twice += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
    }
    return twice;
}

}  // namespace vorn2shp::testing
