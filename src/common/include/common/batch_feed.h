// Fills batches of work on a thread of its own, for the calling thread to
// take in order.
//
// The feed owns the source it fills them from (a file being read, say) for
// as long as its thread runs, and gives it back from finish(), once the
// thread has ended: the caller never holds the source while the thread may
// use it. A fixed number of batches circulates: the feed's thread fills a
// batch the caller has given back, so memory stays bounded however much
// passes through, and a batch's storage is reused rather than allocated
// again.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>

#include "common/batch_queue.h"
#include "common/joined_thread.h"

namespace vorn2shp {

template <typename Source, typename Batch>
class BatchFeed {
public:
    // Fills a batch that has been taken before (or is new) with the next
    // work from the source; false when nothing follows it.
    using Fill = std::function<bool(Source&, Batch&)>;

    BatchFeed(Source source, std::size_t batches, Fill fill)
        : source_(std::move(source)), fill_(std::move(fill)), filled_(batches), spare_(batches) {
        for (std::size_t i = 0; i < batches; ++i) {
            spare_.push(Batch{});
        }
        thread_.start([this] { run(); });
    }
    BatchFeed(const BatchFeed&) = delete;
    BatchFeed& operator=(const BatchFeed&) = delete;
    // Wakes the thread wherever it waits; it ends, and is joined, before
    // anything it uses goes.
    ~BatchFeed() { abandon(); }

    // The next batch in order; false when there are no more.
    bool next(Batch& batch) { return filled_.pop(batch); }

    // Gives a batch back to be filled again.
    void recycle(Batch&& batch) { spare_.push(std::move(batch)); }

    // Stops the filling, even half way, waits for the thread to end and
    // gives the source back. Passes on anything the filling threw (running
    // out of memory), so that a failure never looks like the end of the work.
    Source finish() {
        abandon();
        thread_.join();
        return std::move(source_);
    }

private:
    void abandon() {
        filled_.abandon();
        spare_.abandon();
    }

    void run() {
        // However the filling ends, the caller waiting for a batch learns it.
        struct Finished {
            BatchQueue<Batch>& filled;
            ~Finished() { filled.finish(); }
        } const finished{filled_};
        Batch batch;
        while (spare_.pop(batch)) {
            const bool more = fill_(source_, batch);
            if (!filled_.push(std::move(batch)) || !more) {
                break;
            }
        }
    }

    Source source_;
    Fill fill_;
    BatchQueue<Batch> filled_;
    BatchQueue<Batch> spare_;
    JoinedThread thread_;  // started once everything it uses is ready
};

}  // namespace vorn2shp
