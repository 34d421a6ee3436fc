#include "format_limits.h"

#include <cstdlib>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

constexpr std::uint64_t kFormatLimit = 0xFFFFFFFFu;
constexpr std::size_t kReadersColumns = 255;

// A file header of 100 bytes, then for every shape a record header of 8
// bytes and its content.
constexpr std::uint64_t kShapesHeader = 100;
constexpr std::uint64_t kRecordHeader = 8;

std::uint64_t shapeBytes(int shapeType, std::uint64_t parts, std::uint64_t vertices) {
    if (shapeType == SHPT_POINT) {
        return kRecordHeader + 20;
    }
    return kRecordHeader + 44 + 4 * parts + 16 * vertices;
}

std::string bytes(std::uint64_t count) { return std::to_string(count) + " bytes"; }

std::string indexPathOf(const std::string& shpPath) {
    return shpPath.substr(0, shpPath.size() - 3) + "shx";
}

std::uint64_t limitOfTheRun() {
    if (const char* limit = std::getenv("VORN2SHP_TEST_SIZE_LIMIT")) {
        const std::uint64_t given = std::strtoull(limit, nullptr, 10);
        if (given > 0 && given < kFormatLimit) {
            return given;
        }
    }
    return kFormatLimit;
}

}  // namespace

DatasetSizes plannedSizes(int shapeType, std::size_t records, std::uint64_t vertices,
                          const std::vector<TableColumn>& columns) {
    DatasetSizes sizes;
    // Every shape has a ring or a point, and a record header.
    sizes.shapesAtLeast = kShapesHeader + records * shapeBytes(shapeType, 1, 0) +
                          (shapeType == SHPT_POINT ? 0 : 16 * vertices);
    sizes.index = kShapesHeader + kRecordHeader * records;
    // A header of 32 bytes, 32 for every column and its end mark; every row
    // its deletion flag and its columns; the end-of-file mark.
    std::uint64_t rowBytes = 1;
    for (const TableColumn& column : columns) {
        rowBytes += column.width;
    }
    sizes.table = 32 + 32 * static_cast<std::uint64_t>(columns.size()) + 1 + records * rowBytes + 1;
    return sizes;
}

FormatLimits::FormatLimits() : largestFile_(limitOfTheRun()) {}

bool FormatLimits::fits(std::uint64_t size, const std::string& path,
                        const std::string& what) const {
    if (size <= largestFile_) {
        return true;
    }
    warn(path + ": " + what + " would take " + bytes(size) + ", more than the " +
         bytes(largestFile_) +
         " that the format's 32-bit sizes and offsets reach, and no reader could read it whole; "
         "no output file was written");
    return false;
}

// Readers that take the sizes and offsets as signed 32-bit numbers reach
// half as far.
void FormatLimits::warnIfPastSignedReaders(std::uint64_t size, const std::string& path) const {
    const std::uint64_t signedLimit = largestFile_ / 2;
    if (size > signedLimit) {
        warn(path + ": " + bytes(size) + ", past " + bytes(signedLimit) +
             ", where ArcGIS and the other readers that take the format's offsets as signed "
             "32-bit numbers stop; GDAL, QGIS and shapelib read up to " +
             bytes(largestFile_));
    }
}

bool FormatLimits::fit(const DatasetSizes& sizes, const std::string& shpPath,
                       const std::string& dbfPath) const {
    return fits(sizes.table, dbfPath, "the table") &&
           fits(sizes.index, indexPathOf(shpPath), "the index") &&
           fits(sizes.shapesAtLeast, shpPath, "the shapes");
}

void FormatLimits::warnAboutReaders(const DatasetSizes& sizes, std::size_t columns,
                                    const std::string& shpPath, const std::string& dbfPath) const {
    if (columns > kReadersColumns) {
        warn(dbfPath + ": " + std::to_string(columns) +
             " columns, more than the 255 that dBASE IV and the readers that follow it, ArcGIS "
             "among them, read; GDAL, QGIS and shapelib read them all");
    }
    warnIfPastSignedReaders(sizes.table, dbfPath);
    warnIfPastSignedReaders(sizes.index, indexPathOf(shpPath));
}

bool FormatLimits::shapeFits(const SHPInfo& shp, const SHPObject& shape,
                             const std::string& shpPath) const {
    const std::uint64_t size =
        shp.nFileSize + shapeBytes(shape.nSHPType, static_cast<std::uint64_t>(shape.nParts),
                                   static_cast<std::uint64_t>(shape.nVertices));
    return fits(size, shpPath, "the shapes");
}

void FormatLimits::warnAboutShapesSize(const SHPInfo& shp, const std::string& shpPath) const {
    warnIfPastSignedReaders(shp.nFileSize, shpPath);
}

}  // namespace vorn2shp
