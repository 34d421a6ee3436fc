#include "parse/rejection_message.h"

#include <algorithm>

#include "common/printable_text.h"
#include "common/utf8_text.h"

namespace vorn2shp {

namespace {

// Enough of a token to recognise it by.
constexpr std::size_t kShownBytes = 40;

// The token as written on its line: a character that begins no token is
// shown whole even when it takes several bytes.
std::string tokenText(const TokenPlace& place, std::string_view lineText) {
    const std::size_t start = std::min(place.column, lineText.size());
    std::size_t length = std::min(place.length, lineText.size() - start);
    if (length == 1 && start < lineText.size()) {
        length = std::max<std::size_t>(1, utf8SequenceLength(lineText, start));
    }
    const std::string shown = printableExcerpt(lineText.substr(start, length), kShownBytes);
    // A token that the line does not hold to its end goes on all the same.
    const bool goesOn = place.length == std::string::npos && length <= kShownBytes;
    return goesOn ? shown + "..." : shown;
}

// In single quotes, or double quotes when it holds a single one (a string).
std::string quoted(const std::string& text) {
    const char quote = text.find('\'') == std::string::npos ? '\'' : '"';
    return quote + text + quote;
}

}  // namespace

std::string describeRejection(const TokenPlace& place, const std::string& path,
                              std::size_t lineNumber, std::string_view lineText) {
    std::string message = path + ":" + std::to_string(lineNumber) + ": unexpected ";
    if (place.endOfText && place.length == 0) {
        return message + "end of file";
    }
    const std::string token = quoted(tokenText(place, lineText));
    return message + (place.endOfText ? "end of file after " + token : token);
}

}  // namespace vorn2shp
