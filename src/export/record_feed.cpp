#include "record_feed.h"

#include "eff_validation.h"

namespace vorn2shp {

namespace {

// Batches in circulation, and when a batch is handed on: after this many
// records or bytes.
constexpr std::size_t kBatches = 6;
constexpr std::size_t kRecordsPerBatch = 256;
constexpr std::size_t kBytesPerBatch = 1 << 20;
// A record that once held a very large line gives its storage back, so the
// circulating batches do not keep the largest lines for good.
constexpr std::size_t kKeptCapacity = 1 << 16;

void releaseLargeStorage(ParsedRecord& record) {
    if (record.text.capacity() > kKeptCapacity) {
        std::string().swap(record.text);
        record.fields = RecordLine{};
    }
}

// Fills `batch` with the next records. False when the file has ended, a
// read failed or a line no longer parses.
bool fillRecords(LineReader& file, RecordBatch& batch, std::size_t& lineNumber) {
    for (std::size_t i = 0; i < batch.count; ++i) {
        releaseLargeStorage(batch.records[i]);
    }
    batch.records.resize(kRecordsPerBatch);
    batch.count = 0;
    batch.faultLine = 0;
    std::size_t bytes = 0;
    while (batch.count < batch.records.size() && bytes < kBytesPerBatch) {
        ParsedRecord& record = batch.records[batch.count];
        if (!readLine(file, record.text)) {
            return false;
        }
        ++lineNumber;
        if (record.text.empty()) {
            continue;
        }
        record.lineNumber = lineNumber;
        if (parseRecordLine(record.text, record.fields) != LineFault::None) {
            batch.faultLine = lineNumber;
            return false;
        }
        readVertices(record.fields);
        bytes += record.text.size();
        ++batch.count;
    }
    return true;
}

}  // namespace

RecordFeed::RecordFeed(LineReader& file)
    : BatchFeed(kBatches, [&file, lineNumber = std::size_t{0}](RecordBatch& batch) mutable {
          return fillRecords(file, batch, lineNumber);
      }) {}

}  // namespace vorn2shp
