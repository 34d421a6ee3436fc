#include "table_text.h"

#include "common/printable_text.h"

namespace vorn2shp {

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
