#include "record_line.h"

#include <charconv>
#include <cstdlib>
#include <system_error>

#include "common/coordinate_items.h"
#include "common/short_decimal.h"
#include "eff_validation.h"

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

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

double coordinateValue(std::string_view item, std::string& scratch) {
    double value = 0.0;
    if (readWrittenCoordinate(item, value)) {
        return value;
    }
    removeChars(item, "() ", scratch);
    return std::strtod(scratch.c_str(), nullptr);
}

}  // namespace

std::string_view withoutTerminator(std::string_view value) {
    std::size_t end = value.size();
    while (end > 0 && isBlank(value[end - 1])) {
        --end;
    }
    if (end > 0 && (value[end - 1] == '.' || value[end - 1] == ';')) {
        return value.substr(0, end - 1);
    }
    return value;
}

LineFault parseRecordLine(std::string_view line, RecordLine& record) {
    record.vertexCount = 0;
    record.values.clear();
    splitItems(line, record.items);
    const std::vector<std::string_view>& items = record.items;
    const Parentheses first = items.empty() ? Parentheses{} : parenthesesOf(items.front());
    if (!first.opening) {
        return LineFault::NoCoordinates;
    }
    if (first.closing) {
        return LineFault::ImproperCoordinate;
    }
    // The first item must open a pair, whatever its number looks like; later
    // pairs are recognised by their form, which holds no ')'.
    std::size_t i = 0;
    while (i < items.size()) {
        if (i > 0 && !opensCoordinatePair(items[i], record.scratch)) {
            break;
        }
        if (i + 1 == items.size()) {
            // A line needs one vertex; after it, a pair left open at the end
            // adds none.
            if (i == 0) {
                return LineFault::UnclosedPair;
            }
            break;
        }
        const Parentheses closing = parenthesesOf(items[i + 1]);
        if (closing.opening && closing.closing) {
            return LineFault::ImproperCoordinate;
        }
        if (!closing.closing) {
            return LineFault::UnclosedPair;
        }
        ++record.vertexCount;
        i += 2;
    }
    record.values.assign(items.begin() + static_cast<std::ptrdiff_t>(i), items.end());
    if (!record.values.empty()) {
        record.values.back() = withoutTerminator(record.values.back());
    }
    return LineFault::None;
}

void keepOnlyValues(std::string& text, std::vector<std::string_view>& values) {
    if (values.empty()) {
        std::string().swap(text);
        return;
    }
    const auto start = static_cast<std::size_t>(values.front().data() - text.data());
    const auto end =
        static_cast<std::size_t>(values.back().data() + values.back().size() - text.data());
    std::vector<std::size_t> offsets;
    offsets.reserve(values.size());
    for (const std::string_view value : values) {
        offsets.push_back(static_cast<std::size_t>(value.data() - text.data()) - start);
    }
    std::string(text, start, end - start).swap(text);
    for (std::size_t v = 0; v < values.size(); ++v) {
        values[v] = std::string_view(text.data() + offsets[v], values[v].size());
    }
}

void readVertices(RecordLine& record) {
    record.x.resize(record.vertexCount);
    record.y.resize(record.vertexCount);
    for (std::size_t v = 0; v < record.vertexCount; ++v) {
        record.x[v] = coordinateValue(record.items[2 * v], record.scratch);
        record.y[v] = coordinateValue(record.items[2 * v + 1], record.scratch);
    }
}

}  // namespace vorn2shp
