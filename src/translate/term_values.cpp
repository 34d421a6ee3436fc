#include "term_values.h"

#include <charconv>
#include <cstdlib>
#include <string>

#include "common/characters.h"
#include "common/short_decimal.h"

namespace vorn2shp {

namespace {

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether `text` begins with `word` (lower case), in any letter case.
bool startsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lowerCase(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

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
// and "inf" or "nan" are no number at all (startsWithNonDecimalNumber tells
// where atof would differ).
bool startsWithNumber(std::string_view text) {
    return !text.empty() &&
           (isDigit(text[0]) || (text[0] == '.' && text.size() > 1 && isDigit(text[1])));
}

// from_chars rounds exactly like strtod, so the results are the same bits;
// it only refuses what overflows or underflows, where strtod gives the
// infinity or the tiny value that atof would.
double readDecimal(std::string_view digits) {
    double value = 0.0;
    if (readShortDecimal(digits, value) > 0) {
        return value;
    }
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

bool startsWithNonDecimalNumber(std::string_view text) {
    const std::string_view rest = splitSign(text).rest;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        const std::size_t digits = rest[2] == '.' ? 3 : 2;
        return digits < rest.size() && isHexDigit(rest[digits]);
    }
    return startsWithWord(rest, "inf") || startsWithWord(rest, "nan");
}

std::string objectId(std::string_view text) {
    const SignedText t = splitSign(text);
    std::size_t digits = 0;
    while (digits < t.rest.size() && isDigit(t.rest[digits])) {
        ++digits;
    }
    std::size_t first = 0;
    while (first + 1 < digits && t.rest[first] == '0') {
        ++first;
    }
    if (digits == 0 || (digits - first == 1 && t.rest[first] == '0')) {
        return "0";
    }
    std::string id = t.negative ? "-" : "";
    id.append(t.rest.substr(first, digits - first));
    return id;
}

}  // namespace vorn2shp
