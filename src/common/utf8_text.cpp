#include "common/utf8_text.h"

namespace vorn2shp {

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

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// Bytes that are no character are cut where they stand.
std::size_t characterBoundaryAt(std::string_view text, std::size_t at) {
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

std::string_view cutToWidth(std::string_view text, std::size_t maxBytes, bool utf8) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    while (utf8 && end > 0 && isUtf8Continuation(static_cast<unsigned char>(text[end]))) {
        --end;
    }
    return text.substr(0, end);
}

}  // namespace vorn2shp
