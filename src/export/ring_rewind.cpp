#include "ring_rewind.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace vorn2shp {

namespace {

// The vertices of ring `ring`: where they start in the shape's arrays, and
// how many there are.
struct RingSpan {
    int start;
    int count;
};

RingSpan ringSpan(const SHPObject& shape, int ring) {
    const int start = shape.panPartStart[ring];
    const int end = ring == shape.nParts - 1 ? shape.nVertices : shape.panPartStart[ring + 1];
    return RingSpan{start, end - start};
}

// An edge of a ring, by the array indices of its two ends: the last vertex
// of a ring is joined to its first, as SHPRewindObject joins them.
struct Edge {
    int from;
    int to;
    int ring;
};

// Whether the edge from (x0, y0) to (x1, y1) crosses the ray from (x, y)
// towards -x: it spans the ray's height, one end strictly below it, and
// meets it left of the point. The arithmetic, to the order of the
// operations, is SHPRewindObject's.
bool crossesRayLeft(double x0, double y0, double x1, double y1, double x, double y) {
    if (!((y0 < y && y <= y1) || (y1 < y && y <= y0))) {
        return false;
    }
    const double intersect = x0 + (y - y0) / (y1 - y0) * (x1 - x0);
    return intersect < x;
}

// The edges of every ring, sorted into bands of height: a ray needs only
// the edges listed in its band, which are every edge that spans its height.
class EdgeBands {
public:
    explicit EdgeBands(const SHPObject& shape) : shape_(shape) {
        double low = HUGE_VAL;
        double high = -HUGE_VAL;
        double rises = 0.0;
        for (int ring = 0; ring < shape.nParts; ++ring) {
            const RingSpan span = ringSpan(shape, ring);
            for (int k = 0; k < span.count; ++k) {
                const int from = span.start + k;
                const int to = k + 1 < span.count ? from + 1 : span.start;
                edges_.push_back(Edge{from, to, ring});
                low = std::min(low, shape.padfY[from]);
                high = std::max(high, shape.padfY[from]);
                rises += std::fabs(shape.padfY[to] - shape.padfY[from]);
            }
        }
        // Bands about as high as an edge rises, so an edge is listed under
        // a band or two, and no more bands than edges.
        const double count = static_cast<double>(std::max<std::size_t>(edges_.size(), 1));
        low_ = low;
        height_ = std::max(rises / count, (high - low) / count);
        bands_ = height_ > 0.0 && std::isfinite(height_)
                     ? static_cast<std::size_t>((high - low) / height_) + 1
                     : 1;
        if (bands_ == 1 || !fillBands()) {
            // One band, which every ray reads whole.
            bands_ = 1;
            fillBands();
        }
    }

    // Calls visit(edge) for every edge that spans height `y` (and some
    // others).
    template <class Visit>
    void forEachEdgeAt(double y, Visit&& visit) const {
        const std::size_t b = band(y);
        for (std::size_t k = bandStart_[b]; k < bandStart_[b + 1]; ++k) {
            visit(edges_[static_cast<std::size_t>(listed_[k])]);
        }
    }

private:
    std::size_t band(double y) const {
        if (bands_ == 1) {
            return 0;
        }
        const double k = std::floor((y - low_) / height_);
        return k > 0.0 ? std::min(static_cast<std::size_t>(k), bands_ - 1) : 0;
    }

    // Lists each edge under every band it spans; false, with nothing
    // listed, when long edges would list too many.
    bool fillBands() {
        constexpr std::size_t kMostListingsPerEdge = 16;
        bandStart_.assign(bands_ + 1, 0);
        std::size_t listings = 0;
        for (const Edge& e : edges_) {
            const auto [first, last] = bandsOf(e);
            listings += last - first + 1;
            for (std::size_t b = first; b <= last; ++b) {
                ++bandStart_[b + 1];
            }
            if (listings > kMostListingsPerEdge * edges_.size() && bands_ > 1) {
                return false;
            }
        }
        for (std::size_t b = 0; b < bands_; ++b) {
            bandStart_[b + 1] += bandStart_[b];
        }
        listed_.resize(listings);
        std::vector<std::size_t> next(bandStart_.begin(), bandStart_.end() - 1);
        for (std::size_t i = 0; i < edges_.size(); ++i) {
            const auto [first, last] = bandsOf(edges_[i]);
            for (std::size_t b = first; b <= last; ++b) {
                listed_[next[b]++] = static_cast<int>(i);
            }
        }
        return true;
    }

    std::pair<std::size_t, std::size_t> bandsOf(const Edge& e) const {
        const double y0 = shape_.padfY[e.from];
        const double y1 = shape_.padfY[e.to];
        return {band(std::min(y0, y1)), band(std::max(y0, y1))};
    }

    const SHPObject& shape_;
    std::vector<Edge> edges_;
    double low_ = 0.0;
    double height_ = 1.0;
    std::size_t bands_ = 1;
    std::vector<std::size_t> bandStart_;
    std::vector<int> listed_;
};

// Twice the ring's signed area, summed as SHPRewindObject sums it.
double turningSum(const SHPObject& shape, RingSpan span) {
    const double* x = shape.padfX;
    const double* y = shape.padfY;
    const int first = span.start;
    const int last = span.start + span.count - 1;
    double sum = x[first] * (y[first + 1] - y[last]);
    int v = first + 1;
    for (; v < last; ++v) {
        sum += x[v] * (y[v + 1] - y[v - 1]);
    }
    return x[v] * (y[first] - y[v - 1]) + sum;
}

void reverseRing(SHPObject& shape, RingSpan span) {
    for (double* values : {shape.padfX, shape.padfY, shape.padfZ, shape.padfM}) {
        if (values != nullptr) {
            std::reverse(values + span.start, values + span.start + span.count);
        }
    }
}

bool isPolygon(int type) {
    return type == SHPT_POLYGON || type == SHPT_POLYGONZ || type == SHPT_POLYGONM;
}

}  // namespace

int rewindRings(SHPObject& shape) {
    if (!isPolygon(shape.nSHPType) || shape.nVertices == 0 || shape.nParts <= 0) {
        return 0;
    }
    // A ring alone is an outer ring.
    if (shape.nParts == 1) {
        const RingSpan span = ringSpan(shape, 0);
        if (span.count >= 2 && turningSum(shape, span) > 0.0) {
            reverseRing(shape, span);
            return 1;
        }
        return 0;
    }
    // SHPRewindObject reverses each ring as it decides, and a later ring's
    // rays read the earlier ones as they then stand: a reversed edge, read
    // from its other end, can round to another crossing. The rings are
    // reversed at the end here, and read meanwhile as they would stand.
    std::vector<char> reversed(static_cast<std::size_t>(shape.nParts), 0);
    const EdgeBands bands(shape);
    for (int ring = 0; ring < shape.nParts; ++ring) {
        const RingSpan span = ringSpan(shape, ring);
        if (span.count < 2) {
            continue;
        }
        const double x = (shape.padfX[span.start] + shape.padfX[span.start + 1]) * 0.5;
        const double y = (shape.padfY[span.start] + shape.padfY[span.start + 1]) * 0.5;
        bool inner = false;
        bands.forEachEdgeAt(y, [&](const Edge& e) {
            if (e.ring == ring) {
                return;
            }
            const bool backwards = reversed[static_cast<std::size_t>(e.ring)] != 0;
            const int from = backwards ? e.to : e.from;
            const int to = backwards ? e.from : e.to;
            if (crossesRayLeft(shape.padfX[from], shape.padfY[from], shape.padfX[to],
                               shape.padfY[to], x, y)) {
                inner = !inner;
            }
        });
        const double sum = turningSum(shape, span);
        if ((sum < 0.0 && inner) || (sum > 0.0 && !inner)) {
            reversed[static_cast<std::size_t>(ring)] = 1;
        }
    }
    int altered = 0;
    for (int ring = 0; ring < shape.nParts; ++ring) {
        if (reversed[static_cast<std::size_t>(ring)] != 0) {
            reverseRing(shape, ringSpan(shape, ring));
            ++altered;
        }
    }
    return altered;
}

}  // namespace vorn2shp
