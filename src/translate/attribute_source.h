// The attribute text of each object, in order: the lines of def.imd, the
// copy of the user's .def, told by the user's own file and line.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "common/text_file.h"

namespace vorn2shp {

class AttributeSource {
public:
    // `copyPath` is def.imd, the copy of `definitionsPath`, the user's .def,
    // which the messages name.
    AttributeSource(std::string copyPath, const std::string& definitionsPath)
        : copyPath_(std::move(copyPath)), definitionsPath_(definitionsPath) {}

    // Opens def.imd; a file that cannot be read gives every object an empty
    // text, with a warning.
    void open();

    // The next object's text into `text`; false, with an empty text, when
    // def.imd has run out (told once, naming `object` as the first without
    // its own line).
    bool next(std::string& text, const std::string& object);

    // Warns about lines with text that no object took, `objects` being how
    // many there were.
    void warnAboutUnused(std::size_t objects);

    // "town.def:3": the user's line that the last text taken copies.
    std::string place() const { return placeOf(line_); }
    std::size_t line() const { return line_; }

private:
    bool readLine(std::string& text);
    std::string placeOf(std::size_t line) const {
        return definitionsPath_ + ":" + std::to_string(line);
    }

    const std::string copyPath_;
    const std::string& definitionsPath_;
    LineReader lines_;
    bool left_ = false;
    bool warned_ = false;
    std::size_t line_ = 0;  // the number of the last line taken
    std::string lookahead_;
    bool hasLookahead_ = false;
};

}  // namespace vorn2shp
