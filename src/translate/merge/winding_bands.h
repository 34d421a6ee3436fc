// Winding numbers of a set of directed segments, counted with a ray from
// the point. The segments sit in bands across the longer extent of the
// set, so a ray needs only the segments of its point's band.
// Only the merge's steps use this header.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/geometry.h"

namespace vorn2shp::merge {

class WindingBands {
public:
    // `height` is the least band height (about one segment long); there are
    // never more bands than segments. A segment across many bands is in
    // each of them: once that would take more than `maxEntries` entries,
    // the index stays empty and answers nothing. For no more than a few
    // `rays`, sorting the segments into bands costs more than it saves:
    // each ray then looks at every segment.
    WindingBands(const std::vector<Segment>& segments, double height, std::size_t maxEntries,
                 std::size_t rays);

    // False when the segments would have taken more entries than allowed.
    bool complete() const { return complete_; }

    // Calls visit(index, direction) for each segment that the ray from `p`
    // crosses: direction +1 where the segment runs counter-clockwise around
    // p, -1 where clockwise. A point on the line of a band's edge counts as
    // lying just beyond it. Returns how many segments were looked at.
    template <class Visit>
    std::size_t forEachCrossing(Point original, Visit&& visit) const {
        const Point p = inFrame(original);
        if (!banded_) {
            if (!complete_) {
                return 0;
            }
            for (std::uint32_t i = 0; i < segments_.size(); ++i) {
                visitCrossing(i, p, visit);
            }
            return segments_.size();
        }
        const auto& inBand = bands_[std::min(band(p.y), bands_.size() - 1)];
        for (const std::uint32_t i : inBand) {
            visitCrossing(i, p, visit);
        }
        return inBand.size();
    }

    // True when the winding that forEachCrossing gives at a point of the
    // segment from a to b, that segment left out, is the winding just to
    // its left; false when just to its right.
    bool countsLeftOf(Point a, Point b) const;

private:
    template <class Visit>
    void visitCrossing(std::uint32_t i, Point p, Visit& visit) const {
        const Point a = inFrame(segments_[i].from);
        const Point b = inFrame(segments_[i].to);
        if (a.y <= p.y && p.y < b.y && orientation(a, b, p) > 0.0) {
            visit(i, upright_ ? -1 : 1);
        } else if (b.y <= p.y && p.y < a.y && orientation(a, b, p) < 0.0) {
            visit(i, upright_ ? 1 : -1);
        }
    }

    // Swapping x and y makes the rays run along the longer extent; it
    // mirrors the plane, which turns windings and sides round.
    Point inFrame(Point p) const { return upright_ ? Point{p.y, p.x} : p; }
    std::size_t band(double y) const {
        const double k = std::floor((y - low_) / height_);
        return k > 0.0 ? static_cast<std::size_t>(k) : 0;
    }

    const std::vector<Segment>& segments_;
    bool upright_ = false;
    double low_ = 0.0;
    double height_ = 1.0;
    bool complete_ = true;
    bool banded_ = false;
    std::vector<std::vector<std::uint32_t>> bands_;
};

}  // namespace vorn2shp::merge
