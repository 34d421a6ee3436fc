// The sizes that the shapefile format and its readers allow.
//
// The .shp, .shx and .dbf hold their sizes and offsets in 32 bits: no file
// of a dataset may pass 4 GB, and a reader that takes those numbers as
// signed stops at 2 GB. dBASE IV and the readers that follow it take at
// most 255 columns. A file that would pass 4 GB stops the run before it is
// committed (before anything is written, where its size is known ahead);
// past the readers' limits the user is warned.
#pragma once

#include <shapefil.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "column_layout.h"

namespace vorn2shp {

// The sizes that the files of a dataset will have, as far as they are known
// before its shapes are made: the .shp's grows with the rings of its shapes.
struct DatasetSizes {
    std::uint64_t shapesAtLeast = 0;  // .shp
    std::uint64_t index = 0;          // .shx
    std::uint64_t table = 0;          // .dbf
};

DatasetSizes plannedSizes(int shapeType, std::size_t records, std::uint64_t vertices,
                          const std::vector<TableColumn>& columns);

// The paths name the files as the user knows them.
class FormatLimits {
public:
    // The largest file of a dataset: 4 GB less a byte, or, where the tests
    // ask for it, the smaller size in VORN2SHP_TEST_SIZE_LIMIT.
    FormatLimits();

    std::uint64_t largestFile() const { return largestFile_; }

    // False, after saying so, when a file would pass the largest size.
    bool fit(const DatasetSizes& sizes, const std::string& shpPath,
             const std::string& dbfPath) const;
    // Warns of the readers that stop short of the table's `columns`, or of
    // the .shx and .dbf of `sizes`.
    void warnAboutReaders(const DatasetSizes& sizes, std::size_t columns,
                          const std::string& shpPath, const std::string& dbfPath) const;

    // False, after saying so, when `shape` would take the .shp of `shp`
    // past the largest size.
    bool shapeFits(const SHPInfo& shp, const SHPObject& shape, const std::string& shpPath) const;
    // Warns when the complete .shp of `shp` is past the size signed readers reach.
    void warnAboutShapesSize(const SHPInfo& shp, const std::string& shpPath) const;

private:
    bool fits(std::uint64_t size, const std::string& path, const std::string& what) const;
    void warnIfPastSignedReaders(std::uint64_t size, const std::string& path) const;

    std::uint64_t largestFile_;
};

}  // namespace vorn2shp
