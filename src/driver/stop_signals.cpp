#include "stop_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

// The signals whose default action ends the process, but for SIGKILL, which
// cannot be caught, SIGPIPE and SIGXFSZ, which are ignored, and the signals
// of the program's own faults. The real-time signals follow.
constexpr struct {
    int number;
    const char* name;
} kStopSignals[] = {
    {SIGHUP, "SIGHUP"},   {SIGINT, "SIGINT"},       {SIGQUIT, "SIGQUIT"}, {SIGUSR1, "SIGUSR1"},
    {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"},     {SIGTERM, "SIGTERM"}, {SIGSTKFLT, "SIGSTKFLT"},
    {SIGXCPU, "SIGXCPU"}, {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGIO, "SIGIO"},
    {SIGPWR, "SIGPWR"},
};

// As kill -l names them.
std::string signalName(int signal) {
    for (const auto& known : kStopSignals) {
        if (known.number == signal) {
            return known.name;
        }
    }
    const int fromFirst = signal - SIGRTMIN;
    const int fromLast = SIGRTMAX - signal;
    if (fromFirst == 0) {
        return "SIGRTMIN";
    }
    if (fromLast == 0) {
        return "SIGRTMAX";
    }
    return fromFirst <= fromLast ? "SIGRTMIN+" + std::to_string(fromFirst)
                                 : "SIGRTMAX-" + std::to_string(fromLast);
}

// A signal that was ignored when the run started (nohup, a background job
// of a shell) is left so: whoever started the run meant it not to stop it.
bool isIgnored(int signal) {
    struct sigaction action {};
    return sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

void ignore(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignalWatcher::StopSignalWatcher(StagingRegistry& staging) : staging_(staging) {
    ignore(SIGPIPE);
    ignore(SIGXFSZ);
    sigemptyset(&signals_);
    const auto watchFor = [this](int signal) {
        if (!isIgnored(signal)) {
            sigaddset(&signals_, signal);
            wakeSignal_ = wakeSignal_ != 0 ? wakeSignal_ : signal;
        }
    };
    for (const auto& known : kStopSignals) {
        watchFor(known.number);
    }
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        watchFor(signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    if (wakeSignal_ != 0) {
        thread_.start([this] { watch(); });
    }
}

StopSignalWatcher::~StopSignalWatcher() {
    if (!thread_.started()) {
        return;
    }
    finishing_ = true;
    // A signal sent to the waiting thread alone wakes it.
    pthread_kill(thread_.handle(), wakeSignal_);
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
    // away), so they may print nothing more: the console is held until the
    // process ends.
    const ConsoleHold held;
    const std::string& committed = staging_.discardAllAndHold(held);
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
