#include "common/coordinate_items.h"

#include <algorithm>

#include "common/characters.h"

namespace vorn2shp {

namespace {

// The first non-empty item of `text` at or after `from`, and where the text
// after it begins; an empty view when there is none.
std::string_view nextItem(std::string_view text, std::size_t& from) {
    while (from < text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const std::size_t start = from;
        from = comma + 1;
        if (comma > start) {
            return text.substr(start, comma - start);
        }
    }
    return {};
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

bool isReadAsCoordinates(std::string_view attributeText) {
    std::size_t next = 0;
    const std::string_view first = nextItem(attributeText, next);
    std::string scratch;
    return opensCoordinatePair(first, scratch) && !nextItem(attributeText, next).empty();
}

}  // namespace vorn2shp
