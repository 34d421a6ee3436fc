// Hands batches of work from one thread to another.
//
// The queue holds a fixed number of batches at most: a producer that runs
// ahead waits, so memory stays bounded however much passes through.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace vorn2shp {

template <typename Batch>
class BatchQueue {
public:
    explicit BatchQueue(std::size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}
    BatchQueue(const BatchQueue&) = delete;
    BatchQueue& operator=(const BatchQueue&) = delete;

    // Waits for room and queues `batch`. False, with nothing queued, once
    // the consumer has abandoned the queue: the producer should stop.
    bool push(Batch&& batch) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return abandoned_ || batches_.size() < capacity_; });
        if (abandoned_) {
            return false;
        }
        batches_.push_back(std::move(batch));
        changed_.notify_all();
        return true;
    }

    // Waits for the next batch. False once the producer has finished and
    // every batch has been taken, or once the queue has been abandoned.
    bool pop(Batch& batch) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return finished_ || abandoned_ || !batches_.empty(); });
        if (abandoned_ || batches_.empty()) {
            return false;
        }
        batch = std::move(batches_.front());
        batches_.pop_front();
        changed_.notify_all();
        return true;
    }

    // The producer's last word: no more batches will come.
    void finish() {
        const std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }

    // No more batches are taken or given: a thread waiting for room or for
    // a batch is released and told to stop.
    void abandon() {
        const std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
        batches_.clear();
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> batches_;
    const std::size_t capacity_;
    bool finished_ = false;
    bool abandoned_ = false;
};

}  // namespace vorn2shp
