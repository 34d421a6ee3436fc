// Parses the record lines of output.eff.imd ahead of the writing, on a
// thread of its own: taking the lines apart and reading their coordinates
// costs about as much as writing the shapes and rows, so the two overlap.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/batch_feed.h"
#include "common/text_file.h"
#include "record_line.h"

namespace vorn2shp {

// A non-empty line of output.eff.imd, parsed and with its vertices read.
// The values view the record's own copy of the line.
struct ParsedRecord {
    std::size_t lineNumber = 0;
    std::string text;
    RecordLine fields;
};

// Records in file order. The records are filled where they stand and never
// moved, so the views into their text stay valid; `count` of them are used.
struct RecordBatch {
    std::vector<ParsedRecord> records;
    std::size_t count = 0;
    // The number of a line that no longer parses (0 when none): the reading
    // stopped there, behind the records of this batch.
    std::size_t faultLine = 0;
};

// Reads `file` from where it stands. `file` belongs to the feed's thread
// until finish() returns or the feed is destroyed.
class RecordFeed : public BatchFeed<RecordBatch> {
public:
    explicit RecordFeed(LineReader& file);
};

}  // namespace vorn2shp
