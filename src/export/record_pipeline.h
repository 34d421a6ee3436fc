// Works through the record lines of output.eff.imd on two threads and hands
// them on in file order.
//
// Taking a record line apart, reading its coordinates and turning its rings
// cost several times what writing its shape and row through shapelib does,
// and one record's preparation needs nothing of another's: only the writing,
// and the warnings, must follow the file. Each thread takes the next lines as
// soon as it is free (one long line, or short ones up to a batch, so that
// handing them over costs little beside their work), so a long line on one
// does not hold the other back, and whichever thread finds the oldest taken
// batch ready commits it, one commit at a time, in file order. The batches
// taken and not yet committed are a few, or a couple of megabytes beside
// the oldest, so memory stays bounded by a few of the largest records.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "common/joined_thread.h"
#include "common/text_file.h"

namespace vorn2shp {

// A line longer than this is one of a large object: its storage is given
// back as soon as it is done with, where a shorter line's is kept for the
// next one.
constexpr std::size_t kLongLine = std::size_t{1} << 16;

// A non-empty line of the file, as read, and its number (empty lines count).
struct NumberedLine {
    std::size_t number = 0;
    std::string text;
};

enum class PipelineEnd {
    Finished,    // every line was committed
    Stopped,     // a commit answered false; the lines after it were not committed
    ReadFailed,  // a read failed (file.error() says why) after every earlier line was committed
};

// Runs prepare(NumberedLine&, Prepared&, Scratch&) for every non-empty line
// of `file` from where it stands, on two threads at once for different
// lines, and commit(const NumberedLine&, Prepared&) -> bool for each in file
// order, one at a time. Each thread has a Scratch of its own, for the
// working storage that a prepare needs only while it runs, kept from one
// line to the next. Anything a prepare throws is thrown again from here when
// its line's turn to be committed comes, and anything a commit throws at
// once; the lines after it are not committed.
template <class Prepared, class Scratch, class Prepare, class Commit>
PipelineEnd runRecordPipeline(LineReader& file, Prepare&& prepare, Commit&& commit);

namespace detail {

template <class Prepared, class Scratch>
class RecordPipeline {
public:
    explicit RecordPipeline(LineReader& file) : file_(file), slots_(kInFlight) {}

    template <class Prepare, class Commit>
    PipelineEnd run(Prepare& prepare, Commit& commit) {
        {
            // Joined on every way out, a throw from this thread's own work
            // included.
            const JoinedThread helper([&] { work(prepare, commit); });
            work(prepare, commit);
        }
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        if (stopped_) {
            return PipelineEnd::Stopped;
        }
        return file_.error() != 0 ? PipelineEnd::ReadFailed : PipelineEnd::Finished;
    }

private:
    // While one thread works through a long line, the other goes on with
    // the lines after it, up to about as many bytes (and at most this many
    // batches), so that it is not left waiting for the long one.
    static constexpr std::size_t kInFlight = 16;
    static constexpr std::size_t kBytesAhead = std::size_t{1} << 21;
    // A batch ends after the line that brings it to this many bytes, or at
    // this many lines.
    static constexpr std::size_t kBatchBytes = kLongLine;
    static constexpr std::size_t kBatchLines = 256;

    enum class State { Free, Preparing, Ready };

    struct Slot {
        std::vector<NumberedLine> lines;  // the first `count` are this batch's
        std::vector<Prepared> prepared;
        std::size_t count = 0;
        State state = State::Free;
        std::size_t bytes = 0;       // the length of the lines as read
        std::exception_ptr failure;  // what reading or preparing line `failedAt` threw
        std::size_t failedAt = 0;
    };

    Slot& slotOf(std::size_t sequence) { return slots_[sequence % kInFlight]; }

    template <class Prepare, class Commit>
    void work(Prepare& prepare, Commit& commit) noexcept {
        Scratch scratch;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (!committing_ && !stopped_ && committed_ < taken_ &&
                slotOf(committed_).state == State::Ready) {
                commitOldest(commit, lock);
            } else if (stopped_ || (readDone_ && committed_ == taken_)) {
                return;
            } else if (!readDone_ && mayTakeAnother()) {
                prepareNext(prepare, scratch, lock);
            } else {
                changed_.wait(lock);
            }
        }
    }

    bool mayTakeAnother() const {
        const std::size_t outstanding = taken_ - committed_;
        const std::size_t ahead =
            bytesInFlight_ - (outstanding > 0 ? slots_[committed_ % kInFlight].bytes : 0);
        return outstanding < 2 || (outstanding < kInFlight && ahead < kBytesAhead);
    }

    template <class Prepare>
    void prepareNext(Prepare& prepare, Scratch& scratch, std::unique_lock<std::mutex>& lock) {
        Slot& slot = slotOf(taken_);
        readBatch(slot);
        if (slot.count == 0 && !slot.failure) {
            return;
        }
        ++taken_;
        bytesInFlight_ += slot.bytes;
        slot.state = State::Preparing;
        lock.unlock();
        const std::size_t prepared = slot.failure ? slot.failedAt : slot.count;
        for (std::size_t i = 0; i < prepared; ++i) {
            try {
                prepare(slot.lines[i], slot.prepared[i], scratch);
            } catch (...) {
                slot.failure = std::current_exception();
                slot.failedAt = i;
                break;
            }
        }
        lock.lock();
        slot.state = State::Ready;
        changed_.notify_all();
    }

    // Called with the lock held: one thread reads at a time.
    void readBatch(Slot& slot) {
        slot.count = 0;
        slot.bytes = 0;
        while (slot.count < kBatchLines && slot.bytes < kBatchBytes) {
            if (slot.lines.size() == slot.count) {
                slot.lines.emplace_back();
                slot.prepared.emplace_back();
            }
            bool read = false;
            try {
                read = readNext(slot.lines[slot.count]);
            } catch (...) {
                // Out of memory for the line: its turn ends the work, after
                // every line before it.
                slot.failure = std::current_exception();
                slot.failedAt = slot.count;
            }
            if (!read) {
                readDone_ = true;
                changed_.notify_all();
                return;
            }
            slot.bytes += slot.lines[slot.count].text.size();
            ++slot.count;
        }
    }

    template <class Commit>
    void commitOldest(Commit& commit, std::unique_lock<std::mutex>& lock) {
        Slot& slot = slotOf(committed_);
        committing_ = true;
        lock.unlock();
        std::exception_ptr failure;
        bool carryOn = true;
        for (std::size_t i = 0; carryOn && i < slot.count; ++i) {
            if (slot.failure && i == slot.failedAt) {
                failure = slot.failure;
                break;
            }
            try {
                carryOn = commit(static_cast<const NumberedLine&>(slot.lines[i]), slot.prepared[i]);
            } catch (...) {
                failure = std::current_exception();
                break;
            }
        }
        if (carryOn && !failure && slot.failure && slot.failedAt == slot.count) {
            failure = slot.failure;  // the read after the batch's last line
        }
        release(slot);
        lock.lock();
        bytesInFlight_ -= slot.bytes;
        committing_ = false;
        slot.state = State::Free;
        ++committed_;
        if (failure) {
            failure_ = failure;
        }
        stopped_ = stopped_ || !carryOn || failure;
        changed_.notify_all();
    }

    // A slot keeps the storage of ordinary lines for the next batch, so
    // that the heap is not given back and taken again at every line, but
    // not that of a long line, which it would hold on to for good.
    static void release(Slot& slot) noexcept {
        for (std::size_t i = 0; i < slot.count; ++i) {
            if (slot.lines[i].text.capacity() > kLongLine) {
                slot.lines[i] = NumberedLine{};
            }
            slot.prepared[i] = Prepared{};
        }
        slot.failure = nullptr;
    }

    // Called with the lock held.
    bool readNext(NumberedLine& line) {
        while (file_.readLine(line.text)) {
            ++lineNumber_;
            if (!line.text.empty()) {
                line.number = lineNumber_;
                return true;
            }
        }
        return false;
    }

    LineReader& file_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t lineNumber_ = 0;
    std::size_t taken_ = 0;      // records read so far
    std::size_t committed_ = 0;  // records committed (or given up) so far
    std::size_t bytesInFlight_ = 0;
    bool committing_ = false;
    bool readDone_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
};

}  // namespace detail

template <class Prepared, class Scratch, class Prepare, class Commit>
PipelineEnd runRecordPipeline(LineReader& file, Prepare&& prepare, Commit&& commit) {
    detail::RecordPipeline<Prepared, Scratch> pipeline(file);
    return pipeline.run(prepare, commit);
}

}  // namespace vorn2shp
