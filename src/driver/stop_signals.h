// Ending a run that is stopped by a signal without leaving a partial
// shapefile behind.
//
// Every signal whose default action ends the process and that comes from
// outside it (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU
// from a CPU time limit, the real-time signals, ...) is blocked in every
// thread and taken by one thread that waits for them, so the stages run
// undisturbed and the cleanup is ordinary code, not a signal handler: it
// removes whatever the run has staged, says that the run was stopped, and
// ends the process with 128 + the signal's number. A signal ignored when the
// run starts (nohup) stays ignored. SIGPIPE and SIGXFSZ are ignored: a
// transcript nobody reads any more is dropped and the conversion goes on,
// and a file that passes the size limit fails to be written, with EFBIG,
// and is reported like a full disk. The signals of the program's own faults
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT) keep their
// default action: blocked, a fault would end the process all the same, and
// a run that dies of one is settled by the next run like one killed.
#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

#include "common/joined_thread.h"
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
    int wakeSignal_ = 0;  // one of signals_, sent to the thread to end it; 0: none
    std::atomic<bool> finishing_{false};
    JoinedThread thread_;
};

}  // namespace vorn2shp
