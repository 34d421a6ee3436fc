#include "attribute_source.h"

#include "common/diagnostics.h"

namespace vorn2shp {

void AttributeSource::open() {
    left_ = lines_.open(copyPath_);
    if (!left_) {
        warn(describeFileError(copyPath_, lines_.error()) +
             "; every object gets an empty attribute text");
        warned_ = true;
    }
}

// The empty line that a final line end leaves behind is not a line of its
// own: running out gives an empty text.
bool AttributeSource::next(std::string& text, const std::string& object) {
    if (left_ && readLine(text)) {
        return true;
    }
    text.clear();
    left_ = false;
    if (lines_.error() != 0 && !warned_) {
        warn(describeFileError(copyPath_, lines_.error()));
    }
    if (!warned_) {
        warned_ = true;
        warn(definitionsPath_ + " has fewer lines than there are objects: " + object +
             " and every later object get an empty attribute text");
    }
    return false;
}

// That text is lost, so the user is told. Empty lines at the end (a final
// line end leaves one) hold nothing to lose.
void AttributeSource::warnAboutUnused(std::size_t objects) {
    std::size_t first = 0;
    std::size_t last = 0;
    std::string text;
    while (left_ && readLine(text)) {
        first = first == 0 ? line_ : first;
        last = text.empty() ? last : line_;
    }
    if (last == 0) {
        return;
    }
    const std::string lines = first == last ? "this line belongs"
                                            : "lines " + std::to_string(first) + " to " +
                                                  std::to_string(last) + " belong";
    warn(placeOf(first) + ": more lines than there are objects (" + std::to_string(objects) +
         "): " + lines + " to no object and " + (first == last ? "was" : "were") + " not used");
}

// The next line of def.imd that can belong to an object. A .def file that
// ends with a line end is copied with one empty line more, and the end of
// def.imd leaves one more empty piece: neither belongs to an object.
bool AttributeSource::readLine(std::string& text) {
    if (hasLookahead_) {
        text.swap(lookahead_);
        hasLookahead_ = false;
    } else if (!lines_.readLine(text)) {
        return false;
    }
    ++line_;
    if (!text.empty()) {
        return true;
    }
    if (lines_.atEnd() || !lines_.readLine(lookahead_)) {
        return false;
    }
    if (lookahead_.empty() && lines_.atEnd()) {
        return false;
    }
    hasLookahead_ = true;
    return true;
}

}  // namespace vorn2shp
