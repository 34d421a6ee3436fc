#include "parse/rejection_message.h"

#include <algorithm>

namespace vorn2shp {

namespace {

// Enough of a token to recognise it by.
constexpr std::size_t kShownBytes = 40;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the UTF-8 character at `text[i]` when its lead byte and
// continuation bytes are in place, else 0.
std::size_t characterLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length == 0 || text.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (!isContinuation(static_cast<unsigned char>(text[i + k]))) {
            return 0;
        }
    }
    return length;
}

void appendEscaped(std::string& out, unsigned char byte) {
    constexpr const char* kHex = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

// The token's text for a message: control bytes and bytes that are no
// UTF-8 character escaped, the rest as it stands.
std::string printable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[i++];
        } else if (const std::size_t length = byte >= 0x80 ? characterLength(text, i) : 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendEscaped(out, byte);
            ++i;
        }
    }
    return out;
}

// The token as written on its line: a character that begins no token is
// shown whole even when it takes several bytes.
std::string tokenText(const TokenPlace& place, std::string_view lineText) {
    const std::size_t start = std::min(place.column, lineText.size());
    std::size_t length = std::min(place.length, lineText.size() - start);
    if (length == 1 && start < lineText.size()) {
        length = std::max<std::size_t>(1, characterLength(lineText, start));
    }
    const bool goesOn = place.length == std::string::npos || length > kShownBytes;
    std::size_t shown = std::min(length, kShownBytes);
    while (shown > 0 && shown < length &&
           isContinuation(static_cast<unsigned char>(lineText[start + shown]))) {
        --shown;
    }
    return printable(lineText.substr(start, shown)) + (goesOn ? "..." : "");
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
