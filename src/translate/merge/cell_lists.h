// Which segments come near which, found by sorting: each segment is listed
// under every cell of a square grid that it comes within reach of, and the
// lists are sorted by cell, so the segments listed under one cell are
// neighbours. On the large objects of real maps, reading memory in order
// counts for more than the number of steps, and sorting reads in order
// where a hash table of cells would jump about.
// Only the merge's steps use this header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp::merge {

// Sorts by the upper 32 bits, keeping the order of equal ones, in a few
// passes over the entries whatever their number.
void sortByUpperHalf(std::vector<std::uint64_t>& entries);

class CellLists {
public:
    // Every two segments that come within `reach` of each other on both
    // axes share a cell. The segments are let go before the lists are
    // sorted, so the two never take memory at once with the sorting's own.
    CellLists(std::vector<Segment> segments, double reach);

    // Calls visit(i, j), i < j, for every two segments listed under one
    // cell: every pair within reach, some of them more than once, and some
    // pairs a little further apart. Stops and returns false once more than
    // `budget` pairs have been visited, or once visit returns false.
    template <class Visit>
    bool forEachPair(std::size_t budget, Visit&& visit) const {
        std::size_t visited = 0;
        for (std::size_t begin = 0; begin < entries_.size();) {
            const std::uint64_t cell = entries_[begin] >> 32;
            std::size_t end = begin + 1;
            while (end < entries_.size() && entries_[end] >> 32 == cell) {
                ++end;
            }
            // Within a cell the segments come in increasing order.
            for (std::size_t a = begin; a + 1 < end; ++a) {
                const std::uint32_t i = segmentOf(entries_[a]);
                for (std::size_t b = a + 1; b < end; ++b) {
                    const std::uint32_t j = segmentOf(entries_[b]);
                    if (!firstSharedCell(i, j, cell)) {
                        continue;
                    }
                    if (++visited > budget || !visit(i, j)) {
                        return false;
                    }
                }
            }
            begin = end;
        }
        return true;
    }

private:
    static constexpr std::uint64_t kNotABlock = UINT64_MAX;

    static std::uint32_t segmentOf(std::uint64_t entry) {
        return static_cast<std::uint32_t>(entry);
    }

    // Two segments listed under blocks of cells share a block of cells;
    // they are paired only in its first cell, so once. Other segments are
    // paired wherever they meet.
    bool firstSharedCell(std::uint32_t i, std::uint32_t j, std::uint64_t cell) const {
        const std::uint64_t a = firstCell_[i];
        const std::uint64_t b = firstCell_[j];
        if (a == kNotABlock || b == kNotABlock) {
            return true;
        }
        return cell == std::max(a / columns_, b / columns_) * columns_ +
                           std::max(a % columns_, b % columns_);
    }

    std::vector<std::uint64_t> entries_;  // cell number << 32 | segment index
    // The first cell of the block of cells a segment is listed under, when
    // it is listed under a block; kNotABlock for a long segment listed
    // under the cells along it.
    std::vector<std::uint64_t> firstCell_;
    std::uint64_t columns_ = 1;
};

}  // namespace vorn2shp::merge
