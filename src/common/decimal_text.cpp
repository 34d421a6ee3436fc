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

// Appends the digits from `at` on to `significand`; returns where they end.
// Past 19 digits the sum wraps, which the caller sees in the count.
const char* readDigits(const char* at, const char* end, std::uint64_t& significand) {
    for (; at < end && isDigit(*at); ++at) {
        significand = significand * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    return at;
}

}  // namespace

// When the digits, read as an integer, and the power of ten that scales them
// are both doubles exactly, one division rounds the quotient correctly, which
// is the correctly rounded value of the decimal text: the result of strtod.
bool readShortDecimal(std::string_view text, double& value, std::size_t& length) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    std::uint64_t significand = 0;
    const char* at = readDigits(begin, end, significand);
    std::size_t digits = static_cast<std::size_t>(at - begin);
    std::size_t decimals = 0;
    if (at < end && *at == '.') {
        const char* const fraction = at + 1;
        at = readDigits(fraction, end, significand);
        decimals = static_cast<std::size_t>(at - fraction);
        digits += decimals;
    }
    const auto used = static_cast<std::size_t>(at - begin);
    if (digits == 0 || digits > kMaxDigits || decimals > kMaxDecimals ||
        significand > kExactLimit || continuesBeyondDecimal(text, used)) {
        return false;
    }
    value = static_cast<double>(significand) / kPowersOfTen[decimals];
    length = used;
    return true;
}

}  // namespace vorn2shp
