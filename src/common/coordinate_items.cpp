#include "common/coordinate_items.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <system_error>

#include "common/characters.h"
#include "common/short_decimal.h"

namespace vorn2shp {

namespace {

// Which parentheses an item holds, anywhere in it.
struct Parentheses {
    bool opening = false;
    bool closing = false;
};

// Every character is looked at, without a branch for each: items are short.
Parentheses parenthesesOf(std::string_view item) {
    bool opening = false;
    bool closing = false;
    for (const char c : item) {
        opening |= c == '(';
        closing |= c == ')';
    }
    return Parentheses{opening, closing};
}

// The form the translation writes, "(12.5000" or "-3.2500)": one
// parenthesis at most, a sign, a decimal and nothing else. Read in place,
// it needs neither the copy without parentheses nor strtod: the short
// decimals written are read the quick way, and from_chars rounds any other
// exactly as strtod does.
bool readWrittenCoordinate(std::string_view item, double& value) {
    if (!item.empty() && item.front() == '(') {
        item.remove_prefix(1);
    }
    if (!item.empty() && item.back() == ')') {
        item.remove_suffix(1);
    }
    const bool negative = !item.empty() && item.front() == '-';
    if (!item.empty() && (item.front() == '-' || item.front() == '+')) {
        item.remove_prefix(1);
    }
    double magnitude = 0.0;
    if (!item.empty() && readShortDecimal(item, magnitude) == item.size()) {
        value = negative ? -magnitude : magnitude;
        return true;
    }
    // Only digits with a point: strtod reads the rest (exponents, "inf",
    // hex) its own way.
    const bool decimal = !item.empty() && item.find_first_not_of("0123456789.") == item.npos;
    const char* const end = item.data() + item.size();
    const auto [stop, error] =
        std::from_chars(item.data(), end, magnitude, std::chars_format::fixed);
    if (!decimal || error != std::errc{} || stop != end) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

bool sameVertex(const double* x, const double* y, std::size_t a, std::size_t b) {
    return x[a] == x[b] && y[a] == y[b];
}

}  // namespace

bool isDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    const auto skipDigits = [&] {
        const std::size_t from = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = skipDigits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += skipDigits();
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (skipDigits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

// A ')' anywhere fails the number test, so an item holding both
// parentheses never opens a pair. The blanks are taken out only when there
// are any, which in what the translation writes there never are.
bool opensCoordinatePair(std::string_view item, std::string& scratch) {
    const std::size_t first = item.find_first_not_of(' ');
    if (first == std::string_view::npos || item[first] != '(') {
        return false;
    }
    const std::string_view number = item.substr(first + 1);
    if (number.find(' ') == std::string_view::npos) {
        return isDecimalNumber(number);
    }
    scratch.assign(number);
    scratch.erase(std::remove(scratch.begin(), scratch.end(), ' '), scratch.end());
    return isDecimalNumber(scratch);
}

void splitItems(std::string_view line, std::vector<std::string_view>& items) {
    items.clear();
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            comma = line.size();
        }
        if (comma > start) {
            items.push_back(line.substr(start, comma - start));
        }
        start = comma + 1;
    }
}

PairRun readPairRun(const std::vector<std::string_view>& items, bool firstOpens,
                    std::string& scratch) {
    PairRun run;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        if (!(i == 0 && firstOpens) && !opensCoordinatePair(items[i], scratch)) {
            return run;
        }
        if (i + 1 == items.size()) {
            run.end = PairRun::End::LastItem;
            return run;
        }
        const Parentheses closing = parenthesesOf(items[i + 1]);
        if (!closing.closing || closing.opening) {
            run.end = closing.closing ? PairRun::End::BothClosing : PairRun::End::Unclosed;
            return run;
        }
        ++run.pairs;
    }
    return run;
}

double coordinateValue(std::string_view item, std::string& scratch) {
    double value = 0.0;
    if (readWrittenCoordinate(item, value)) {
        return value;
    }
    scratch.clear();
    for (const char c : item) {
        if (c != '(' && c != ')' && c != ' ') {
            scratch.push_back(c);
        }
    }
    return std::strtod(scratch.c_str(), nullptr);
}

std::size_t ringEnd(const double* x, const double* y, std::size_t start, std::size_t count) {
    for (std::size_t i = start + 3; i < count; ++i) {
        if (sameVertex(x, y, i, start)) {
            return i;
        }
    }
    return count;
}

ClosedRings closedRings(const double* x, const double* y, std::size_t count) {
    ClosedRings closed;
    for (std::size_t end = ringEnd(x, y, 0, count); end < count;
         end = ringEnd(x, y, closed.vertices, count)) {
        ++closed.rings;
        closed.vertices = end + 1;
    }
    return closed;
}

LeadingCoordinates leadingCoordinates(std::string_view attributeText) {
    std::vector<std::string_view> items;
    splitItems(attributeText, items);
    std::string scratch;
    LeadingCoordinates leading;
    leading.beginsLikeAPair = items.size() > 1 && opensCoordinatePair(items.front(), scratch);
    if (!leading.beginsLikeAPair) {
        return leading;
    }
    const std::size_t pairs = readPairRun(items, false, scratch).pairs;
    std::vector<double> x(pairs);
    std::vector<double> y(pairs);
    for (std::size_t v = 0; v < pairs; ++v) {
        x[v] = coordinateValue(items[2 * v], scratch);
        y[v] = coordinateValue(items[2 * v + 1], scratch);
    }
    leading.rings = closedRings(x.data(), y.data(), pairs).rings;
    return leading;
}

}  // namespace vorn2shp
