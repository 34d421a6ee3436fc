#include "geometry/geometry.h"

namespace vorn2shp {

double signedArea(const std::vector<Point>& ring) {
    if (ring.size() < 3) {
        return 0.0;
    }
    // Measured from the first point, so large coordinates lose no precision.
    const Point origin = ring.front();
    double twice = 0.0;
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
        twice += orientation(origin, ring[i], ring[i + 1]);
    }
    return 0.5 * twice;
}

}  // namespace vorn2shp
