// Writes blocks of bytes to a stream on a thread of its own, so that the
// copying into the system's file cache overlaps the work that produces the
// next block.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace vorn2shp {

class BackgroundWriter {
public:
    // `stream` is written to and nothing else; it must outlive the writer.
    explicit BackgroundWriter(std::FILE* stream);
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    // Writes whatever was handed over, then ends the thread.
    ~BackgroundWriter();

    // Hands the first `size` bytes of `block` over for writing, waiting while
    // the block before is still queued. `block` comes back as a block the
    // writer has finished with (possibly empty), for the caller to fill again.
    // Returns the errno of the first write that failed so far, or 0.
    int submit(std::vector<char>& block, std::size_t size);

    // Waits until everything handed over has been written; the errno of the
    // first write that failed, or 0.
    int drain();

private:
    void run();

    std::FILE* const stream_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> queued_;   // handed over, not yet taken by the thread
    std::size_t queuedSize_ = 0;
    bool hasQueued_ = false;
    std::vector<char> writing_;  // the block the thread writes
    bool busy_ = false;
    bool stopping_ = false;
    int error_ = 0;
    std::thread thread_;  // last: started once everything it uses is ready
};

}  // namespace vorn2shp
