// Turns the token stream of second.imd into one outline line per object in
// output.eff.imd, each followed by the object's line of def.imd.
#pragma once

#include "common/console.h"
#include "common/repeated_warnings.h"

namespace vorn2shp {

class Translator {
public:
    Translator() = default;

    // The whole translation pass with its four console lines on `console`. False when
    // second.imd cannot be read or output.eff.imd cannot be written; the
    // reason has been reported on stderr. Warnings that repeat for many
    // objects go through `warnings`, whose totals the caller gives at the
    // end of the run; without it, they are given at the end of the pass.
    bool translate(Console& console, RepeatedWarnings& warnings);
    bool translate(Console& console);
};

}  // namespace vorn2shp
