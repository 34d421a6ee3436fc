// Buckets of ids by square cell, to answer "what lies near this point"
// without comparing everything with everything.
#pragma once

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "translate/geometry.h"

namespace vorn2shp {

class SpatialGrid {
public:
    // `cellSize` must be at least the largest distance that a query asks about.
    explicit SpatialGrid(double cellSize, std::size_t expectedIds = 0);

    double cellSize() const { return cellSize_; }

    void insert(Point p, std::uint32_t id);

    // Calls visit(id) for every id inserted in the cell of `p` and in the
    // eight cells around it, so every id within one cell size of `p` is met.
    template <class Visit>
    void forEachNear(Point p, Visit&& visit) const {
        const std::int64_t cx = cellIndex(p.x);
        const std::int64_t cy = cellIndex(p.y);
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto found = firstInCell_.find(cellKey(cx + dx, cy + dy));
                if (found == firstInCell_.end()) {
                    continue;
                }
                for (std::uint32_t e = found->second; e != kNone; e = entries_[e].next) {
                    visit(entries_[e].id);
                }
            }
        }
    }

    // Points along the segment from a to b, both ends included, no two more
    // than half a cell apart: every point within a cell size of the segment
    // is met by forEachNear of one of them.
    template <class Visit>
    void forEachSample(Point a, Point b, Visit&& visit) const {
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const double steps = std::ceil(length / (0.5 * cellSize_));
        const auto count = static_cast<std::size_t>(steps > 1.0 ? steps : 1.0);
        for (std::size_t i = 0; i <= count; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(count);
            visit(Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        }
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct Entry {
        std::uint32_t id;
        std::uint32_t next;
    };

    std::int64_t cellIndex(double v) const;
    static std::uint64_t cellKey(std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) |
               static_cast<std::uint32_t>(cy);
    }

    double cellSize_;
    std::unordered_map<std::uint64_t, std::uint32_t> firstInCell_;
    std::vector<Entry> entries_;
};

}  // namespace vorn2shp
