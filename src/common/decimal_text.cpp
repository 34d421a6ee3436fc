#include "common/decimal_text.h"

#include <cstdint>

namespace vorn2shp {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Every power of ten up to 1e22 is a double exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::size_t kMaxDecimals = sizeof kPowersOfTen / sizeof kPowersOfTen[0] - 1;
constexpr std::size_t kMaxDigits = 19;  // below 1e19, the digits fit 64 bits
constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;

// What strtod would read on from here: an exponent, or the "x" of a hex
// number's "0x". An "x" behind other digits is a term's variable ("2x").
bool continuesBeyondDecimal(std::string_view text, std::size_t at) {
    if (at >= text.size()) {
        return false;
    }
    const char c = text[at];
    const bool hexPrefix = at == 1 && text[0] == '0' && (c == 'x' || c == 'X');
    return c == 'e' || c == 'E' || hexPrefix;
}

}  // namespace

// When the digits, read as an integer, and the power of ten that scales them
// are both doubles exactly, one division rounds the quotient correctly, which
// is the correctly rounded value of the decimal text: the result of strtod.
bool readShortDecimal(std::string_view text, double& value, std::size_t& length) {
    std::uint64_t significand = 0;
    std::size_t digits = 0;
    std::size_t decimals = 0;
    std::size_t i = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
        significand = significand * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (digits == kMaxDigits) {
            return false;
        }
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i, ++digits, ++decimals) {
            significand = significand * 10 + static_cast<std::uint64_t>(text[i] - '0');
            if (digits == kMaxDigits) {
                return false;
            }
        }
    }
    if (digits == 0 || decimals > kMaxDecimals || significand > kExactLimit ||
        continuesBeyondDecimal(text, i)) {
        return false;
    }
    value = static_cast<double>(significand) / kPowersOfTen[decimals];
    length = i;
    return true;
}

}  // namespace vorn2shp
