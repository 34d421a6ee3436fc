#include "record_feed.h"

#include <exception>
#include <utility>

#include "eff_validation.h"

namespace vorn2shp {

namespace {

// A fixed number of batches circulates between the two threads, so memory
// stays bounded: a batch is handed on after this many records or bytes.
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

}  // namespace

RecordFeed::RecordFeed(LineReader& file)
    : file_(file), filled_(kBatches), spare_(kBatches) {
    for (std::size_t i = 0; i < kBatches; ++i) {
        RecordBatch batch;
        batch.records.resize(kRecordsPerBatch);
        spare_.push(std::move(batch));
    }
    thread_ = std::thread([this] { read(); });
}

RecordFeed::~RecordFeed() { stop(); }

bool RecordFeed::next(RecordBatch& batch) { return filled_.pop(batch); }

void RecordFeed::recycle(RecordBatch&& batch) {
    for (std::size_t i = 0; i < batch.count; ++i) {
        releaseLargeStorage(batch.records[i]);
    }
    batch.count = 0;
    batch.faultLine = 0;
    spare_.push(std::move(batch));
}

void RecordFeed::stop() {
    if (thread_.joinable()) {
        filled_.abandon();
        spare_.abandon();
        thread_.join();
    }
}

void RecordFeed::finish() {
    stop();
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void RecordFeed::read() noexcept {
    try {
        std::size_t lineNumber = 0;
        RecordBatch batch;
        while (spare_.pop(batch)) {
            const bool more = fill(batch, lineNumber);
            if (!filled_.push(std::move(batch)) || !more) {
                break;
            }
        }
    } catch (...) {
        failure_ = std::current_exception();
    }
    filled_.finish();
}

// Fills `batch` with the next records. False when the file has ended, a
// read failed or a line no longer parses.
bool RecordFeed::fill(RecordBatch& batch, std::size_t& lineNumber) {
    std::size_t bytes = 0;
    while (batch.count < batch.records.size() && bytes < kBytesPerBatch) {
        ParsedRecord& record = batch.records[batch.count];
        if (!readLine(file_, record.text)) {
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

}  // namespace vorn2shp
