// Linking boundary sides into rings.
//
// The walk follows the boundary side by side. Where several parts meet in
// one vertex, it leaves by the side that keeps it around the sector it came
// in by; a walk that still comes back to a vertex it has passed is cut
// there into two rings, so no ring visits a vertex twice and rings that
// meet in a vertex touch without crossing.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "merge/merge_steps.h"

namespace vorn2shp::merge {

namespace {

constexpr std::uint32_t kNoSide = UINT32_MAX;
constexpr double kFullTurn = 6.283185307179586;

// The angle swept from the way back (towards `back`) to the way out
// (towards `out`), turning against the rings' own sense, in (0, 2pi].
double sweepToward(Point at, Point back, Point out, double turn) {
    const double rx = back.x - at.x;
    const double ry = back.y - at.y;
    const double dx = out.x - at.x;
    const double dy = out.y - at.y;
    const double against = -std::atan2(turn * (rx * dy - ry * dx), rx * dx + ry * dy);
    return against > 0.0 ? against : against + kFullTurn;
}

class RingTracer {
public:
    RingTracer(const std::vector<Side>& sides, const std::vector<Point>& vertices, double turn)
        : sides_(sides),
          vertices_(vertices),
          turn_(turn),
          firstOut_(vertices.size() + 1, 0),
          outgoing_(sides.size()),
          used_(sides.size(), 0),
          positionInPath_(vertices.size(), -1) {
        for (const Side& s : sides_) {
            ++firstOut_[s.from + 1];
        }
        for (std::size_t v = 0; v < vertices.size(); ++v) {
            firstOut_[v + 1] += firstOut_[v];
        }
        std::vector<std::uint32_t> cursor(firstOut_.begin(), firstOut_.end() - 1);
        for (std::size_t i = 0; i < sides_.size(); ++i) {
            outgoing_[cursor[sides_[i].from]++] = static_cast<std::uint32_t>(i);
        }
        // A walk takes every side at most once: no growing on the way.
        path_.reserve(sides_.size() + 1);
        pathSides_.reserve(sides_.size() + 1);
    }

    std::vector<TracedRing> run(TilingFaults& faults) {
        for (std::size_t start = 0; start < sides_.size(); ++start) {
            if (!used_[start]) {
                walkFrom(static_cast<std::uint32_t>(start), faults);
            }
        }
        // Overlapping triangles can leave a side that runs out and back; such
        // a spike bounds nothing and is no ring.
        const auto spike = [](const TracedRing& r) { return r.vertices.size() < 3; };
        const auto kept = std::remove_if(rings_.begin(), rings_.end(), spike);
        faults.openChain = faults.openChain || kept != rings_.end();
        rings_.erase(kept, rings_.end());
        return std::move(rings_);
    }

private:
    void walkFrom(std::uint32_t side, TilingFaults& faults) {
        path_.assign(1, sides_[side].from);
        pathSides_.clear();
        positionInPath_[sides_[side].from] = 0;
        for (;;) {
            used_[side] = 1;
            pathSides_.push_back(side);
            const VertexId at = sides_[side].to;
            if (positionInPath_[at] >= 0) {
                closeLoopAt(static_cast<std::size_t>(positionInPath_[at]));
            } else {
                positionInPath_[at] = static_cast<std::int64_t>(path_.size());
                path_.push_back(at);
            }
            const std::uint32_t next = nextSide(at, side);
            if (next == kNoSide) {
                if (!pathSides_.empty()) {
                    // Only overlapping triangles leave a boundary that ends
                    // in the open; it is closed straight back to its start.
                    faults.openChain = true;
                    pathSides_.push_back(pathSides_.back());
                    closeLoopAt(0);
                }
                positionInPath_[path_.front()] = -1;
                return;
            }
            side = next;
        }
    }

    // Makes a ring of the path from `position` to its end and cuts it off,
    // keeping the vertex at `position` as the path's last one.
    void closeLoopAt(std::size_t position) {
        TracedRing ring;
        ring.vertices.assign(path_.begin() + static_cast<std::ptrdiff_t>(position), path_.end());
        ring.triangles.reserve(pathSides_.size() - position);
        for (std::size_t i = position; i < pathSides_.size(); ++i) {
            ring.triangles.push_back(sides_[pathSides_[i]].triangle);
        }
        rings_.push_back(std::move(ring));
        for (std::size_t i = position + 1; i < path_.size(); ++i) {
            positionInPath_[path_[i]] = -1;
        }
        path_.resize(position + 1);
        pathSides_.resize(position);
    }

    std::uint32_t nextSide(VertexId at, std::uint32_t incoming) const {
        std::uint32_t best = kNoSide;
        double bestSweep = 0.0;
        const Point back = vertices_[sides_[incoming].from];
        for (std::uint32_t k = firstOut_[at]; k < firstOut_[at + 1]; ++k) {
            const std::uint32_t candidate = outgoing_[k];
            if (used_[candidate]) {
                continue;
            }
            if (best == kNoSide) {
                best = candidate;
                continue;
            }
            if (bestSweep == 0.0) {
                bestSweep = sweepToward(vertices_[at], back, vertices_[sides_[best].to], turn_);
            }
            const double sweep =
                sweepToward(vertices_[at], back, vertices_[sides_[candidate].to], turn_);
            if (sweep < bestSweep) {
                best = candidate;
                bestSweep = sweep;
            }
        }
        return best;
    }

    const std::vector<Side>& sides_;
    const std::vector<Point>& vertices_;
    double turn_;
    std::vector<std::uint32_t> firstOut_;
    std::vector<std::uint32_t> outgoing_;
    std::vector<char> used_;
    std::vector<std::int64_t> positionInPath_;
    std::vector<VertexId> path_;
    std::vector<std::uint32_t> pathSides_;
    std::vector<TracedRing> rings_;
};

}  // namespace

double ringArea(const TracedRing& ring, const std::vector<Point>& vertices) {
    std::vector<Point> points;
    points.reserve(ring.vertices.size());
    for (const VertexId v : ring.vertices) {
        points.push_back(vertices[v]);
    }
    return signedArea(points);
}

std::vector<TracedRing> traceRings(const std::vector<Side>& sides,
                                   const std::vector<Point>& vertices, double turn,
                                   TilingFaults& faults) {
    return RingTracer(sides, vertices, turn).run(faults);
}

}  // namespace vorn2shp::merge
