#include "translate/eff_format.h"

#include <charconv>
#include <limits>

namespace vorn2shp {

namespace {

// Appends `value` as printf's "%.4f" writes it. std::to_chars with a
// precision rounds the exact binary value just as printf does (ties to even,
// "-0.0000" for -0.0), and costs a fraction of snprintf, which parses its
// format anew for every number of every outline.
void appendFixed4(std::string& out, double value) {
    constexpr std::size_t kUsual = 32;
    // Sign, every integer digit of the largest double, point and decimals.
    constexpr std::size_t kLongest = std::numeric_limits<double>::max_exponent10 + 8;
    const std::size_t at = out.size();
    for (const std::size_t room : {kUsual, kLongest}) {
        out.resize(at + room);
        char* const first = &out[at];
        const auto [end, error] =
            std::to_chars(first, first + room, value, std::chars_format::fixed, 4);
        if (error == std::errc{}) {
            out.resize(at + static_cast<std::size_t>(end - first));
            return;
        }
    }
}

}  // namespace

void appendEffPoint(std::string& out, Point p) {
    out += '(';
    appendFixed4(out, p.x);
    out += ',';
    appendFixed4(out, -1.0 * p.y);
    out += "),";
}

}  // namespace vorn2shp
