// Turns the token stream of second.imd into one outline line per object in
// output.eff.imd, each followed by the object's line of def.imd.
#pragma once

#include <string>
#include <utility>

#include "common/attribute_lines.h"
#include "common/console.h"
#include "common/repeated_warnings.h"
#include "common/work_directory.h"

namespace vorn2shp {

class Translator {
public:
    // second.imd, def.imd and output.eff.imd are in `work`.
    explicit Translator(WorkDirectory work = {}) : work_(std::move(work)) {}

    // The whole translation pass with its four console lines on `console`. False when
    // second.imd cannot be read or output.eff.imd cannot be written; the
    // reason has been reported on stderr. def.imd is a line-for-line copy
    // of `definitionsPath`, the user's .def, which the messages about the
    // attribute text name with the line. Warnings that repeat for many
    // objects go through `warnings`, whose totals the caller gives at the
    // end of the run; without it, they are given at the end of the pass.
    bool translate(Console& console, RepeatedWarnings& warnings,
                   const std::string& definitionsPath = intermediate::kDefinitions);
    bool translate(Console& console,
                   const std::string& definitionsPath = intermediate::kDefinitions);

    // The .def line of each line of output.eff.imd, once translate() is done.
    const AttributeLines& attributeLines() const { return attributeLines_; }

private:
    WorkDirectory work_;
    AttributeLines attributeLines_;
};

}  // namespace vorn2shp
