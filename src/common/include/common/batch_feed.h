// Fills batches of work on a thread of its own, for the calling thread to
// take in order.
//
// A fixed number of batches circulates: the feed's thread fills a batch the
// caller has given back, so memory stays bounded however much passes
// through, and a batch's storage is reused rather than allocated again.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

#include "common/batch_queue.h"

namespace vorn2shp {

template <typename Batch>
class BatchFeed {
public:
    // Fills a batch that has been taken before (or is new) with the next
    // work; false when nothing follows it.
    using Fill = std::function<bool(Batch&)>;

    BatchFeed(std::size_t batches, Fill fill)
        : fill_(std::move(fill)), filled_(batches), spare_(batches) {
        for (std::size_t i = 0; i < batches; ++i) {
            spare_.push(Batch{});
        }
        thread_ = std::thread([this] { run(); });
    }
    BatchFeed(const BatchFeed&) = delete;
    BatchFeed& operator=(const BatchFeed&) = delete;
    ~BatchFeed() { stop(); }

    // The next batch in order; false when there are no more.
    bool next(Batch& batch) { return filled_.pop(batch); }

    // Gives a batch back to be filled again.
    void recycle(Batch&& batch) { spare_.push(std::move(batch)); }

    // Stops the filling, even half way, waits for the thread to end and
    // passes on anything the filling threw (running out of memory), so that
    // a failure never looks like the end of the work.
    void finish() {
        stop();
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

private:
    void stop() {
        if (thread_.joinable()) {
            filled_.abandon();
            spare_.abandon();
            thread_.join();
        }
    }

    void run() noexcept {
        try {
            Batch batch;
            while (spare_.pop(batch)) {
                const bool more = fill_(batch);
                if (!filled_.push(std::move(batch)) || !more) {
                    break;
                }
            }
        } catch (...) {
            failure_ = std::current_exception();
        }
        filled_.finish();
    }

    Fill fill_;
    BatchQueue<Batch> filled_;
    BatchQueue<Batch> spare_;
    std::exception_ptr failure_;
    std::thread thread_;  // started once everything it uses is ready
};

}  // namespace vorn2shp
