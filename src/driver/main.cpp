// vorn2shp: converts a VORN constraint relation of triangles into an ESRI
// shapefile. See usageText() for the command line.
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <new>
#include <string>
#include <system_error>

#include "command_line.h"
#include "common/diagnostics.h"
#include "pipeline.h"
#include "stop_signals.h"

namespace {

void print(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

// The largest objects of a map, tens of thousands of triangles, come and go
// in the translation, each taking megabytes while it is merged. Blocks of a
// megabyte or more are mapped on their own, so that what such an object
// frees goes back to the system at once and the run's peak follows the
// largest object: glibc would otherwise raise that threshold as large
// blocks are freed, and keep them in its heap. A setting of the whole
// process, so it is made here, before any stage runs.
void returnLargeBlocksAtOnce() {
#ifdef __GLIBC__
    constexpr int kLargeBlock = 1 << 20;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    using vorn2shp::CommandLine;
    using vorn2shp::ExitStatus;
    const CommandLine command = vorn2shp::readCommandLine(argc, argv);

    switch (command.action) {
        case CommandLine::Action::ShowHelp:
            print(stdout, vorn2shp::usageText());
            return static_cast<int>(ExitStatus::Ok);
        case CommandLine::Action::ShowVersion:
            print(stdout, std::string("vorn2shp ") + VORN2SHP_VERSION + "\n");
            return static_cast<int>(ExitStatus::Ok);
        case CommandLine::Action::Misuse:
            if (!command.misuse.empty()) {
                vorn2shp::warn(command.misuse);
            }
            print(stderr, vorn2shp::usageText());
            return static_cast<int>(ExitStatus::Usage);
        case CommandLine::Action::Convert:
            break;
    }
    returnLargeBlocksAtOnce();
    for (const std::string& ignored : command.ignored) {
        vorn2shp::warn("the argument '" + ignored + "' after the output base name is ignored");
    }
    // The stages name the file they were working on when memory or threads
    // run out; this is the net below them, so that no run ends in an abort.
    try {
        // The watcher starts before any stage, so every thread of the run
        // leaves the stop signals to it.
        vorn2shp::StagingRegistry staging;
        const vorn2shp::StopSignalWatcher watcher(staging);
        return static_cast<int>(vorn2shp::runConversion(command.settings, staging));
    } catch (const std::bad_alloc&) {
        vorn2shp::warn("out of memory; the run stops here");
    } catch (const std::system_error& error) {
        vorn2shp::warn(std::string(error.what()) + "; the run stops here");
    }
    return static_cast<int>(ExitStatus::Failure);
}
