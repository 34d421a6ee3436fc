#include "merge/spatial_grid.h"

namespace vorn2shp {

namespace {

// Up to this many ids a plain list beats the hash table.
constexpr std::size_t kFewIds = 48;

std::size_t tableSizeFor(std::size_t cells) {
    std::size_t size = 16;
    while (size < 2 * cells) {
        size *= 2;
    }
    return size;
}

}  // namespace

SpatialGrid::SpatialGrid(double cellSize, std::size_t expectedIds)
    : cells_(cellSize), few_(expectedIds <= kFewIds) {
    if (!few_) {
        resizeTable(tableSizeFor(expectedIds));
    }
    entries_.reserve(expectedIds);
}

void SpatialGrid::resizeTable(std::size_t size) {
    keys_.assign(size, 0);
    heads_.assign(size, kNone);
    shift_ = 64;
    for (std::size_t s = size; s > 1; s /= 2) {
        --shift_;
    }
}

// The slot that holds `key`, or the empty slot where it would go.
std::size_t SpatialGrid::slotOf(std::uint64_t key) const {
    // Fibonacci hashing: the top bits of the product depend on every key bit.
    const std::size_t mask = keys_.size() - 1;
    std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    while (heads_[slot] != kNone && keys_[slot] != key) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

void SpatialGrid::grow() {
    std::vector<std::uint64_t> keys;
    std::vector<std::uint32_t> heads;
    keys.swap(keys_);
    heads.swap(heads_);
    resizeTable(2 * keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (heads[i] != kNone) {
            const std::size_t slot = slotOf(keys[i]);
            keys_[slot] = keys[i];
            heads_[slot] = heads[i];
        }
    }
}

void SpatialGrid::insert(Point p, std::uint32_t id) {
    if (few_) {
        entries_.push_back(Entry{id, kNone});
        return;
    }
    if (2 * (cellsUsed_ + 1) > keys_.size()) {
        grow();
    }
    const std::uint64_t key = GridCells::key(cells_.index(p.x), cells_.index(p.y));
    const std::size_t slot = slotOf(key);
    if (heads_[slot] == kNone) {
        keys_[slot] = key;
        ++cellsUsed_;
    }
    entries_.push_back(Entry{id, heads_[slot]});
    heads_[slot] = static_cast<std::uint32_t>(entries_.size() - 1);
}

}  // namespace vorn2shp
