// The quick way to read the decimals that nearly every number of a map is:
// a few digits, perhaps with a fraction, and no exponent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/characters.h"

namespace vorn2shp {

// Reads the unsigned decimal at the start of `text` when it has at most 15
// digits and no exponent, and returns how many characters it took; 0, with
// `value` untouched, for anything else, which the caller's full reader
// takes. Such a number is a whole number below 2^53 divided by a power of
// ten up to 10^15, both exact in a double, so the one division rounds just
// as strtod and from_chars round the decimal: the same bits.
inline std::size_t readShortDecimal(std::string_view text, double& value) {
    constexpr std::size_t kMostDigits = 15;
    static constexpr double kPowersOfTen[kMostDigits + 1] = {
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const std::size_t size = text.size() < kMostDigits + 2 ? text.size() : kMostDigits + 2;
    std::uint64_t whole = 0;
    std::size_t i = 0;
    for (; i < size && isDigit(text[i]); ++i) {
        whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    std::size_t digits = i;
    std::size_t fractionDigits = 0;
    if (i < size && text[i] == '.') {
        const std::size_t point = i++;
        for (; i < size && isDigit(text[i]); ++i) {
            whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
        fractionDigits = i - point - 1;
        digits += fractionDigits;
    }
    // More digits, an exponent or a second point behind it, or no digit at
    // all, are the full reader's to judge.
    if (digits == 0 || digits > kMostDigits ||
        (i < text.size() &&
         (isDigit(text[i]) || text[i] == 'e' || text[i] == 'E' || text[i] == '.'))) {
        return 0;
    }
    value = static_cast<double>(whole) / kPowersOfTen[fractionDigits];
    return i;
}

}  // namespace vorn2shp
