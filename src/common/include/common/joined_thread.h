// The one way the program runs work on a thread of its own.
//
// The thread is joined on every way out of the scope that holds it, a throw
// included, so no work outlives the data it was handed. What the work
// throws (memory or threads running out) is kept and thrown again by
// join(), so that a failure on the thread is the caller's failure; a
// holder that never asks lets it go with the thread.
#pragma once

#include <exception>
#include <thread>
#include <utility>

namespace vorn2shp {

class JoinedThread {
public:
    // No thread yet: start() begins one.
    JoinedThread() = default;
    template <typename Work>
    explicit JoinedThread(Work&& work) {
        start(std::forward<Work>(work));
    }
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;
    ~JoinedThread() { wait(); }

    // Runs `work` on a new thread; throws std::system_error when there is
    // none to be had. Only one at a time.
    template <typename Work>
    void start(Work&& work) {
        thread_ = std::thread([this, work = std::forward<Work>(work)]() mutable noexcept {
            try {
                work();
            } catch (...) {
                failure_ = std::current_exception();
            }
        });
    }

    bool started() const { return thread_.joinable(); }

    // Waits for the work to end, and throws what it threw.
    void join() {
        wait();
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
    }

    // The thread, for a signal meant for it alone.
    std::thread::native_handle_type handle() { return thread_.native_handle(); }

private:
    void wait() noexcept {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::thread thread_;
    std::exception_ptr failure_;
};

}  // namespace vorn2shp
