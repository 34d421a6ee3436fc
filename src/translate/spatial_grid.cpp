#include "translate/spatial_grid.h"

#include <limits>

namespace vorn2shp {

SpatialGrid::SpatialGrid(double cellSize, std::size_t expectedIds)
    : cellSize_(cellSize > 0.0 && std::isfinite(cellSize) ? cellSize : 1.0) {
    firstInCell_.reserve(expectedIds);
    entries_.reserve(expectedIds);
}

// Cell numbers are kept well inside 32 bits, so the neighbours of a cell
// never wrap around to a far cell in the packed key.
std::int64_t SpatialGrid::cellIndex(double v) const {
    constexpr double kLimit = 1.0e9;
    double cell = std::floor(v / cellSize_);
    if (!(cell > -kLimit)) {
        cell = -kLimit;
    } else if (cell > kLimit) {
        cell = kLimit;
    }
    return static_cast<std::int64_t>(cell);
}

void SpatialGrid::insert(Point p, std::uint32_t id) {
    const std::uint64_t key = cellKey(cellIndex(p.x), cellIndex(p.y));
    const auto index = static_cast<std::uint32_t>(entries_.size());
    auto [slot, added] = firstInCell_.try_emplace(key, index);
    entries_.push_back(Entry{id, added ? kNone : slot->second});
    slot->second = index;
}

}  // namespace vorn2shp
