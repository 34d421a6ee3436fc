#include "merge/winding_bands.h"

namespace vorn2shp::merge {

namespace {

constexpr std::size_t kFewRays = 4;

}  // namespace

WindingBands::WindingBands(const std::vector<Segment>& segments, double height,
                           std::size_t maxEntries, std::size_t rays)
    : segments_(segments) {
    if (segments.empty()) {
        return;
    }
    double lowX = segments.front().from.x;
    double highX = lowX;
    low_ = segments.front().from.y;
    double high = low_;
    for (const Segment& s : segments) {
        for (const Point p : {s.from, s.to}) {
            lowX = std::min(lowX, p.x);
            highX = std::max(highX, p.x);
            low_ = std::min(low_, p.y);
            high = std::max(high, p.y);
        }
    }
    if (!std::isfinite(highX - lowX) || !std::isfinite(high - low_)) {
        complete_ = false;
        return;
    }
    upright_ = highX - lowX > high - low_;
    if (upright_) {
        low_ = lowX;
        high = highX;
    }
    if (rays <= kFewRays) {
        return;
    }
    const double count = static_cast<double>(segments.size());
    height_ = std::max(height, (high - low_) / count);
    if (!(height_ > 0.0) || !std::isfinite(height_)) {
        height_ = 1.0;
    }
    std::size_t entries = 0;
    for (const Segment& s : segments) {
        const double a = inFrame(s.from).y;
        const double b = inFrame(s.to).y;
        entries += band(std::max(a, b)) - band(std::min(a, b)) + 1;
    }
    if (entries > maxEntries) {
        complete_ = false;
        return;
    }
    banded_ = true;
    bands_.resize(band(high) + 1);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const double a = inFrame(segments[i].from).y;
        const double b = inFrame(segments[i].to).y;
        for (std::size_t k = band(std::min(a, b)); k <= band(std::max(a, b)); ++k) {
            bands_[k].push_back(static_cast<std::uint32_t>(i));
        }
    }
}

bool WindingBands::countsLeftOf(Point from, Point to) const {
    const Point a = inFrame(from);
    const Point b = inFrame(to);
    // The ray runs in +x: it does not cross the segment from the side that
    // faces +x, which is the right of a segment running up. Along a level
    // segment the count is that of the points just above it.
    const bool leftInFrame = a.y != b.y ? a.y > b.y : a.x < b.x;
    return upright_ ? !leftInFrame : leftInFrame;
}

}  // namespace vorn2shp::merge
