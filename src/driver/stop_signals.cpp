#include "stop_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

const char* signalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "SIGHUP";
    }
}

}  // namespace

StopSignalWatcher::StopSignalWatcher(StagingRegistry& staging) : staging_(staging) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    thread_ = std::thread([this] { watch(); });
}

StopSignalWatcher::~StopSignalWatcher() {
    finishing_ = true;
    // A signal sent to the waiting thread alone wakes it.
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

void StopSignalWatcher::watch() noexcept {
    for (;;) {
        int signal = 0;
        if (sigwait(&signals_, &signal) != 0) {
            continue;
        }
        if (finishing_) {
            return;
        }
        stop(signal);
    }
}

void StopSignalWatcher::stop(int signal) noexcept {
    // The stages' threads go on until the process ends, and from here on a
    // fault they meet comes from the stop itself (their files are taken
    // away), so they may print nothing more. The console is taken before
    // the registry, in the order a commit that prints takes them.
    flockfile(stdout);
    flockfile(stderr);
    const std::string& committed = staging_.discardAllAndHold();
    try {
        const std::string name = signalName(signal);
        warn(committed.empty()
                 ? "stopped by " + name + "; no shapefile was written or changed"
                 : "stopped by " + name + " after " + committed + " was written whole");
    } catch (...) {
    }
    // The stages' threads are still at work: the process ends here, without
    // unwinding them or running the exit handlers.
    _exit(128 + signal);
}

}  // namespace vorn2shp
