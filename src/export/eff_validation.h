// Validation of output.eff.imd before any output file exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "column_layout.h"
#include "common/console.h"
#include "common/text_file.h"
#include "record_line.h"

namespace vorn2shp {

// What the validation pass learns while it reads every line anyway: the
// table needs it before the first row is written.
struct EffSummary {
    std::size_t recordCount = 0;        // non-empty lines
    std::size_t largestValueCount = 0;  // attribute values of the fullest line
    std::size_t largestValueLine = 0;   // the number of the first such line
    bool valuesAreUtf8 = true;          // every value is valid UTF-8
    // The lines with more values than field names are declared (when any
    // are): how many, the number of the first and its values.
    std::size_t linesBeyondNames = 0;
    std::size_t firstLineBeyondNames = 0;
    std::size_t valuesOnFirstLineBeyond = 0;
    std::uint64_t vertexCount = 0;  // of every line
    // What the values of each column are like, when they were looked at.
    std::vector<ColumnSurvey> columns;
};

enum class EffCheck {
    Passed,      // every line passes; the file is back at its start
    Rejected,    // the fault of the first failing line and ": line <n>. " are on the console
    Unreadable,  // a read failed: file.error() says why, and nothing is printed
};

// Checks every line of `file`, counting empty lines but not checking them,
// against a table of `declaredNames` field names; with `surveyValues`, what
// the values of each column are like is noted too.
EffCheck validateEffFile(LineReader& file, std::size_t declaredNames, EffSummary& summary,
                         Console& console, bool surveyValues = false);

}  // namespace vorn2shp
