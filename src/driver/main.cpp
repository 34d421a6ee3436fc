// vorn2shp: converts a VORN constraint relation of triangles into an ESRI
// shapefile. See usageText() for the command line.
#include <cstdio>
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
