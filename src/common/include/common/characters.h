// Character classes of the plain ASCII ranges, the same whatever the locale
// and whatever the signedness of char: bytes 0x80 to 0xFF are never letters,
// digits or white space here.
#pragma once

namespace vorn2shp {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c);
}

// What std::isspace calls white space in the "C" locale: space, tab, line
// feed, vertical tab, form feed and carriage return.
constexpr bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace vorn2shp
