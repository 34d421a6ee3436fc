// Ending a run that is stopped (SIGINT, SIGTERM, SIGHUP) without leaving a
// partial shapefile behind.
//
// The signals are blocked in every thread and taken by one thread that waits
// for them, so the stages run undisturbed and the cleanup is ordinary code,
// not a signal handler: it removes whatever the run has staged, says that
// the run was stopped, and ends the process with 128 + the signal's number.
#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

#include "common/staging.h"

namespace vorn2shp {

class StopSignalWatcher {
public:
    // Blocks the stop signals in the calling thread, which must be the only
    // thread yet (every thread started later inherits the block), and starts
    // the thread that waits for them. `staging` must outlive the watcher.
    explicit StopSignalWatcher(StagingRegistry& staging);
    // Ends the waiting thread; a stop that comes later goes unanswered, as
    // the run is over.
    ~StopSignalWatcher();
    StopSignalWatcher(const StopSignalWatcher&) = delete;
    StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

private:
    void watch() noexcept;
    [[noreturn]] void stop(int signal) noexcept;

    StagingRegistry& staging_;
    sigset_t signals_{};
    std::atomic<bool> finishing_{false};
    std::thread thread_;
};

}  // namespace vorn2shp
