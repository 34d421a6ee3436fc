#include "common/background_writer.h"

#include <cerrno>
#include <utility>

namespace vorn2shp {

BackgroundWriter::BackgroundWriter(std::FILE* stream)
    : stream_(stream), thread_([this] { run(); }) {}

BackgroundWriter::~BackgroundWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

int BackgroundWriter::submit(std::vector<char>& block, std::size_t size) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasQueued_; });
    queued_.swap(block);
    queuedSize_ = size;
    hasQueued_ = true;
    const int error = error_;
    lock.unlock();
    changed_.notify_all();
    return error;
}

int BackgroundWriter::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasQueued_ && !busy_; });
    return error_;
}

// Once a write has failed the rest is not written: the file is lost anyway,
// and the first failure is the one worth reporting.
void BackgroundWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasQueued_ || stopping_; });
        if (!hasQueued_) {
            return;
        }
        writing_.swap(queued_);
        const std::size_t size = queuedSize_;
        hasQueued_ = false;
        busy_ = true;
        const bool failedBefore = error_ != 0;
        lock.unlock();
        changed_.notify_all();

        int error = 0;
        if (!failedBefore) {
            errno = 0;
            if (std::fwrite(writing_.data(), 1, size, stream_) != size) {
                error = errno != 0 ? errno : EIO;
            }
        }

        lock.lock();
        if (error != 0 && error_ == 0) {
            error_ = error;
        }
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace vorn2shp
