#include "common/printable_text.h"

namespace vorn2shp {

namespace {

void appendEscaped(std::string& out, std::string_view bytes) {
    constexpr const char* kHex = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
}

// U+0080 to U+009F, the C1 controls: some terminals take U+009B for the
// start of an escape sequence.
bool isC1Control(std::string_view character) {
    return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2 &&
           static_cast<unsigned char>(character[1]) < 0xA0;
}

// `at`, or the start of the character that runs on past it; bytes that
// are no character are cut where they stand.
std::size_t characterBoundary(std::string_view text, std::size_t at) {
    for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
        const std::size_t start = at - back;
        if (utf8SequenceLength(text, start) > back) {
            return start;
        }
        if (!isUtf8Continuation(static_cast<unsigned char>(text[start]))) {
            break;
        }
    }
    return at;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // the bounds of the second byte that rule out
    unsigned char high = 0xBF;  // overlong forms, surrogates and > U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (!isUtf8Continuation(static_cast<unsigned char>(text[i + k]))) {
            return 0;
        }
    }
    return length;
}

std::string printableText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8SequenceLength(text, i);
        const std::string_view character = text.substr(i, length == 0 ? 1 : length);
        if (length == 0 || byte < 0x20 || byte == 0x7F || isC1Control(character)) {
            appendEscaped(out, character);
        } else {
            out.append(character);
        }
        i += character.size();
    }
    return out;
}

std::string printableExcerpt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return printableText(text);
    }
    return printableText(text.substr(0, characterBoundary(text, maxBytes))) + "...";
}

}  // namespace vorn2shp
