#include "tuples/term_values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "common/characters.h"
#include "common/short_decimal.h"

namespace vorn2shp {

namespace {

struct SignedText {
    bool negative = false;
    std::string_view rest;
};

// Splits off the one sign that a token may begin with.
SignedText splitSign(std::string_view text) {
    SignedText out;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        out.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    out.rest = text;
    return out;
}

// The shape of an unsigned decimal: where its point and exponent are.
struct DecimalShape {
    std::size_t fractionDigits = 0;
    bool hasPoint = false;
    long exponent = 0;
};

std::size_t digitsAt(std::string_view text, std::size_t i) {
    const std::size_t start = i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    return i - start;
}

// Whether `text` is wholly an unsigned decimal: digits with at most one
// point among or behind them, at least one digit, and perhaps an exponent.
bool isWholeDecimal(std::string_view text, DecimalShape& shape) {
    std::size_t i = digitsAt(text, 0);
    std::size_t digits = i;
    if (i < text.size() && text[i] == '.') {
        shape.hasPoint = true;
        shape.fractionDigits = digitsAt(text, i + 1);
        digits += shape.fractionDigits;
        i += 1 + shape.fractionDigits;
    }
    if (digits == 0) {
        return false;
    }
    if (i == text.size()) {
        return true;
    }
    if (text[i] != 'e' && text[i] != 'E') {
        return false;
    }
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t exponentDigits = digitsAt(text, i);
    if (exponentDigits == 0 || i + exponentDigits != text.size()) {
        return false;
    }
    // Far beyond what a double holds either way; the value overflows or
    // vanishes long before.
    constexpr long kLargestExponent = 100000;
    for (std::size_t k = i; k < text.size() && shape.exponent < kLargestExponent; ++k) {
        shape.exponent = shape.exponent * 10 + (text[k] - '0');
    }
    shape.exponent = negative ? -shape.exponent : shape.exponent;
    return true;
}

// from_chars rounds exactly like strtod, so the results are the same bits;
// it only refuses what overflows or underflows, where strtod gives the
// infinity or the tiny value that atof would.
double decimalValue(std::string_view digits) {
    double value = 0.0;
    if (readShortDecimal(digits, value) == digits.size()) {
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

double halfUnitOf(const DecimalShape& shape) {
    if (!shape.hasPoint) {
        return 0.0;
    }
    static constexpr double kHalfUnits[] = {0.5,  0.05,  0.005, 5e-4,  5e-5,  5e-6,  5e-7,  5e-8,
                                            5e-9, 5e-10, 5e-11, 5e-12, 5e-13, 5e-14, 5e-15, 5e-16};
    constexpr std::size_t kTabled = sizeof kHalfUnits / sizeof kHalfUnits[0];
    if (shape.exponent == 0 && shape.fractionDigits < kTabled) {
        return kHalfUnits[shape.fractionDigits];
    }
    return 0.5 * std::pow(10.0, static_cast<double>(shape.exponent) -
                                    static_cast<double>(shape.fractionDigits));
}

bool readUnsignedNumber(std::string_view text, bool negative, WrittenNumber& number) {
    DecimalShape shape;
    if (!isWholeDecimal(text, shape)) {
        return false;
    }
    const double magnitude = decimalValue(text);
    number.value = negative ? -magnitude : magnitude;
    number.halfUnit = halfUnitOf(shape);
    return true;
}

}  // namespace

bool readWrittenNumber(std::string_view text, WrittenNumber& number) {
    const SignedText t = splitSign(text);
    return readUnsignedNumber(t.rest, t.negative, number);
}

TermFault readTerm(std::string_view text, Term& term) {
    const SignedText t = splitSign(text);
    if (t.rest.empty() || (t.rest.back() != 'x' && t.rest.back() != 'y')) {
        return TermFault::NoLetter;
    }
    term.letter = t.rest.back();
    const std::string_view number = t.rest.substr(0, t.rest.size() - 1);
    if (number.empty()) {
        term.coefficient = WrittenNumber{t.negative ? -1.0 : 1.0, 0.0};
        return TermFault::None;
    }
    return readUnsignedNumber(number, t.negative, term.coefficient) ? TermFault::None
                                                                    : TermFault::NoDecimalNumber;
}

std::string objectId(std::string_view text, bool& isWholeNumber) {
    const SignedText t = splitSign(text);
    const std::size_t digits = digitsAt(t.rest, 0);
    isWholeNumber = digits > 0 && digits == t.rest.size();
    if (!isWholeNumber) {
        return std::string(text);
    }
    std::size_t first = 0;
    while (first + 1 < digits && t.rest[first] == '0') {
        ++first;
    }
    if (digits - first == 1 && t.rest[first] == '0') {
        return "0";
    }
    std::string id = t.negative ? "-" : "";
    id.append(t.rest.substr(first));
    return id;
}

}  // namespace vorn2shp
