#include "common/printable_text.h"

#include "common/utf8_text.h"

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

}  // namespace

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
    return printableText(text.substr(0, characterBoundaryAt(text, maxBytes))) + "...";
}

}  // namespace vorn2shp
