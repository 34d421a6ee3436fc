// Parses the record lines of output.eff.imd ahead of the writing, on a
// thread of its own: taking the lines apart and reading their coordinates
// costs about as much as writing the shapes and rows, so the two overlap.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "common/batch_queue.h"
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

class RecordFeed {
public:
    // Starts reading `file` from where it stands. `file` belongs to the
    // feed's thread until finish() returns or the feed is destroyed.
    explicit RecordFeed(LineReader& file);
    RecordFeed(const RecordFeed&) = delete;
    RecordFeed& operator=(const RecordFeed&) = delete;
    ~RecordFeed();

    // The next batch in file order; false when there are no more.
    bool next(RecordBatch& batch);
    // Gives a batch back for the reader to fill again.
    void recycle(RecordBatch&& batch);
    // Stops the reading, even half way, waits for the thread to end and
    // passes on anything the reading threw (running out of memory).
    void finish();

private:
    void stop();
    void read() noexcept;
    bool fill(RecordBatch& batch, std::size_t& lineNumber);

    LineReader& file_;
    BatchQueue<RecordBatch> filled_;
    BatchQueue<RecordBatch> spare_;
    std::exception_ptr failure_;
    std::thread thread_;  // last: started once everything it uses is ready
};

}  // namespace vorn2shp
