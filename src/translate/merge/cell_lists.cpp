#include "merge/cell_lists.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vorn2shp::merge {

// A least significant digit first radix sort, a byte at a time, skipping
// the bytes in which every entry agrees.
void sortByUpperHalf(std::vector<std::uint64_t>& entries) {
    std::vector<std::uint64_t> buffer(entries.size());
    for (unsigned shift = 32; shift < 64; shift += 8) {
        std::array<std::size_t, 257> start{};
        for (const std::uint64_t e : entries) {
            ++start[((e >> shift) & 0xFF) + 1];
        }
        if (std::find(start.begin(), start.end(), entries.size()) != start.end()) {
            continue;
        }
        for (std::size_t d = 0; d < 256; ++d) {
            start[d + 1] += start[d];
        }
        for (const std::uint64_t e : entries) {
            buffer[start[(e >> shift) & 0xFF]++] = e;
        }
        entries.swap(buffer);
    }
}

namespace {

// The grid: cells numbered row by row from the corner below the left of
// every segment, in fewer than 2^32 numbers. Every place asked about lies
// above and to the right of that corner, so the cast rounds down; and a
// multiplication by the inverse moves cell borders a little, but the same
// way for every segment, which is all that pairing them needs.
struct Grid {
    double perCell;  // 1 / the cell size
    double originX;
    double originY;
    std::uint64_t columns;

    std::uint64_t column(double x) const {
        return static_cast<std::uint64_t>((x - originX) * perCell);
    }
    std::uint64_t row(double y) const {
        return static_cast<std::uint64_t>((y - originY) * perCell);
    }
};

// Up to this many cells, a segment is listed under every cell of its box.
constexpr std::uint64_t kBlockCells = 9;

}  // namespace

CellLists::CellLists(std::vector<Segment> segments, double reach) {
    if (segments.size() < 2) {
        return;
    }
    Point low = segments.front().from;
    Point high = low;
    for (const Segment& s : segments) {
        for (const Point p : {s.from, s.to}) {
            low = Point{std::min(low.x, p.x), std::min(low.y, p.y)};
            high = Point{std::max(high.x, p.x), std::max(high.y, p.y)};
        }
    }
    // About one segment long, so a segment is listed under a few cells;
    // points are taken along it every half cell, and each lists the cells
    // within a quarter cell and `reach` of it, which covers the segment.
    double cell = std::max(meanLength(segments), 4.0 * reach);
    if (!(cell > 0.0) || !std::isfinite(cell)) {
        cell = std::isfinite(high.x - low.x + high.y - low.y) ? 1.0 : 0.0;
    }
    const auto haloOf = [reach](double size) { return 0.25 * size + reach; };
    const auto countOf = [](double extent, double size) { return std::floor(extent / size) + 2; };
    while (cell > 0.0 && countOf(high.x - low.x + 2 * haloOf(cell), cell) *
                                 countOf(high.y - low.y + 2 * haloOf(cell), cell) >=
                             4.0e9) {
        cell *= 2.0;
    }
    if (!(cell > 0.0) || !std::isfinite(cell)) {
        // Beyond any grid: every segment under one cell.
        for (std::size_t i = 0; i < segments.size(); ++i) {
            entries_.push_back(i);
        }
        firstCell_.assign(segments.size(), kNotABlock);
        return;
    }
    const double halo = haloOf(cell);
    const Grid grid{1.0 / cell, low.x - halo, low.y - halo,
                    static_cast<std::uint64_t>(countOf(high.x - low.x + 2 * halo, cell))};
    columns_ = grid.columns;
    entries_.reserve(4 * segments.size());
    firstCell_.resize(segments.size());
    std::vector<std::uint64_t> cells;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Point a = segments[i].from;
        const Point b = segments[i].to;
        // A short segment: the cells of its box widened by `reach`.
        const std::uint64_t left = grid.column(std::min(a.x, b.x) - reach);
        const std::uint64_t right = grid.column(std::max(a.x, b.x) + reach);
        const std::uint64_t bottom = grid.row(std::min(a.y, b.y) - reach);
        const std::uint64_t top = grid.row(std::max(a.y, b.y) + reach);
        if ((right - left + 1) * (top - bottom + 1) <= kBlockCells) {
            firstCell_[i] = bottom * grid.columns + left;
            for (std::uint64_t r = bottom; r <= top; ++r) {
                for (std::uint64_t c = left; c <= right; ++c) {
                    entries_.push_back((r * grid.columns + c) << 32 | i);
                }
            }
            continue;
        }
        // A long one: the cells near points along it, every half cell.
        firstCell_[i] = kNotABlock;
        const double steps = std::ceil(distance(a, b) / (0.5 * cell));
        const auto count = static_cast<std::size_t>(steps > 1.0 ? steps : 1.0);
        cells.clear();
        for (std::size_t k = 0; k <= count; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(count);
            const Point p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            for (std::uint64_t r = grid.row(p.y - halo); r <= grid.row(p.y + halo); ++r) {
                for (std::uint64_t c = grid.column(p.x - halo); c <= grid.column(p.x + halo); ++c) {
                    cells.push_back(r * grid.columns + c);
                }
            }
        }
        std::sort(cells.begin(), cells.end());
        cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
        for (const std::uint64_t c : cells) {
            entries_.push_back(c << 32 | i);
        }
    }
    std::vector<Segment>().swap(segments);
    sortByUpperHalf(entries_);
}

}  // namespace vorn2shp::merge
