#include "translate/eff_format.h"

#include <cstdio>

namespace vorn2shp {

void appendEffPoint(std::string& out, Point p) {
    // Enough for any point of ordinary size; a larger one is measured and
    // written again.
    constexpr std::size_t kUsual = 64;
    const std::size_t at = out.size();
    out.resize(at + kUsual);
    const int written = std::snprintf(&out[at], kUsual, "(%.4f,%.4f),", p.x, -1.0 * p.y);
    const auto length = static_cast<std::size_t>(written > 0 ? written : 0);
    if (length >= kUsual) {
        out.resize(at + length + 1);
        std::snprintf(&out[at], length + 1, "(%.4f,%.4f),", p.x, -1.0 * p.y);
    }
    out.resize(at + length);
}

}  // namespace vorn2shp
