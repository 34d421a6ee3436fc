#include "translate/term_values.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <string>

namespace vorn2shp {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// What std::isspace calls white space in the "C" locale, the only one the
// program runs in, without a call into the library for every term.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct SignedText {
    bool negative = false;
    std::string_view rest;
};

// Splits off the blanks and the one sign that atof and atoi accept in front.
SignedText splitSign(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    SignedText out;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        out.negative = text[i] == '-';
        ++i;
    }
    out.rest = text.substr(i);
    return out;
}

// Only decimal numbers count: "0x1p3" is 0 with the name "x1p3" behind it,
// and "inf" or "nan" are no number at all.
bool startsWithNumber(std::string_view text) {
    return !text.empty() &&
           (isDigit(text[0]) || (text[0] == '.' && text.size() > 1 && isDigit(text[1])));
}

// from_chars rounds exactly like strtod, so the results are the same bits;
// it only refuses what overflows or underflows, where strtod gives the
// infinity or the tiny value that atof would.
double readDecimal(std::string_view digits) {
    double value = 0.0;
    const char* begin = digits.data();
    const auto [end, error] =
        std::from_chars(begin, begin + digits.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        const std::string number(begin, end);
        value = std::strtod(number.c_str(), nullptr);
    }
    return value;
}

}  // namespace

double termCoefficient(std::string_view term) {
    const SignedText t = splitSign(term);
    const double magnitude = startsWithNumber(t.rest) ? readDecimal(t.rest) : 1.0;
    return t.negative ? -magnitude : magnitude;
}

double constantValue(std::string_view text) {
    const SignedText t = splitSign(text);
    if (!startsWithNumber(t.rest)) {
        return 0.0;
    }
    const double magnitude = readDecimal(t.rest);
    return t.negative ? -magnitude : magnitude;
}

int objectId(std::string_view text) {
    const SignedText t = splitSign(text);
    long long value = 0;
    for (const char c : t.rest) {
        if (!isDigit(c)) {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    value = t.negative ? -value : value;
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace vorn2shp
