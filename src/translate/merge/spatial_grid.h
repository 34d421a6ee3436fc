// Buckets of ids by square cell, to answer "what lies near this point"
// without comparing everything with everything. A handful of ids is kept
// in one list instead: looking at all of them is cheaper than hashing.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp {

// Square cells of a size, numbered along each axis. The key of a cell packs
// the low 32 bits of its two numbers, so cells 2^32 apart share a key: they
// are only met together, never missed, and the numbers need no limit that
// small cells at large coordinates (a millimetre grid at a UTM northing)
// would pass.
class GridCells {
public:
    // A size that is not positive and finite is taken as 1.
    explicit GridCells(double size) : size_(size > 0.0 && std::isfinite(size) ? size : 1.0) {}

    std::int64_t index(double v) const {
        constexpr double kLimit = 0x1p62;
        double cell = std::floor(v / size_);
        if (!(cell > -kLimit)) {
            cell = -kLimit;
        } else if (cell > kLimit) {
            cell = kLimit;
        }
        return static_cast<std::int64_t>(cell);
    }

    static std::uint64_t key(std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) |
               static_cast<std::uint32_t>(cy);
    }

private:
    double size_;
};

class SpatialGrid {
public:
    // `cellSize` must be at least the largest distance that a query asks about.
    explicit SpatialGrid(double cellSize, std::size_t expectedIds = 0);

    void insert(Point p, std::uint32_t id);

    // Calls visit(id) for every id inserted in a cell that the square of
    // half-width `reach` (at most a cell size) around `p` overlaps, so every
    // id within `reach` of `p` on both axes is met (and possibly others).
    template <class Visit>
    void forEachWithin(Point p, double reach, Visit&& visit) const {
        if (few_) {
            for (const Entry& e : entries_) {
                visit(e.id);
            }
            return;
        }
        const std::int64_t lowX = cells_.index(p.x - reach);
        const std::int64_t highX = cells_.index(p.x + reach);
        const std::int64_t lowY = cells_.index(p.y - reach);
        const std::int64_t highY = cells_.index(p.y + reach);
        for (std::int64_t cx = lowX; cx <= highX; ++cx) {
            for (std::int64_t cy = lowY; cy <= highY; ++cy) {
                for (std::uint32_t e = firstInCell(GridCells::key(cx, cy)); e != kNone;
                     e = entries_[e].next) {
                    visit(entries_[e].id);
                }
            }
        }
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct Entry {
        std::uint32_t id;
        std::uint32_t next;
    };

    std::size_t slotOf(std::uint64_t key) const;
    std::uint32_t firstInCell(std::uint64_t key) const { return heads_[slotOf(key)]; }
    void grow();
    void resizeTable(std::size_t size);

    GridCells cells_;
    bool few_;
    // An open-addressing table from cell key to the cell's newest entry.
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint32_t> heads_;
    unsigned shift_ = 64;
    std::size_t cellsUsed_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace vorn2shp
