// Output that exists only under temporary names until it is complete.
//
// A run writes its shapefile into a staging directory of its own beside the
// final files, and moves the files into place when every one of them has
// been written and closed. The registry knows every staging directory of the
// run, so that a run that is stopped can take them all away: the export
// stages and commits through it, and the thread that waits for a stop signal
// discards through it, hence the mutex.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp {

class StagingRegistry {
public:
    StagingRegistry() = default;
    StagingRegistry(const StagingRegistry&) = delete;
    StagingRegistry& operator=(const StagingRegistry&) = delete;
    // Discards what is still staged.
    ~StagingRegistry();

    // Creates a fresh, empty staging directory in `parent` ("" for the
    // working directory, else a path ending in '/'). The directory is new
    // (mkdir fails on any existing name), so nothing in it is anyone else's.
    // Returns its path, or "" with `error` set.
    std::string createDirectory(const std::string& parent, int& error);

    // Removes a staging directory with everything in it.
    void discard(const std::string& directory);

    // Runs `moveIntoPlace`, which moves the files out of `directory`, with
    // no stop in between, then removes the directory. Once it succeeds, a
    // stop reports `shapesPath` as written. A stop holds the console while
    // it waits for the registry, so a caller that prints about the commit
    // holds the console (ConsoleHold) before it calls.
    bool commit(const std::string& directory, const std::string& shapesPath,
                const std::function<bool()>& moveIntoPlace);

    // For a run that is being stopped: removes every staging directory and
    // keeps the registry locked, so that nothing more is staged or committed
    // before the process ends. Returns the .shp that was committed, or "".
    const std::string& discardAllAndHold() noexcept;

private:
    void forget(const std::string& directory);

    std::mutex mutex_;
    std::vector<std::string> directories_;
    std::string committed_;
};

// The path that the file at `stagedPath` will have once it is committed:
// the path itself when it does not lie in a staging directory. Messages name
// an output file by this path, the name the user gave.
std::string committedPathOf(std::string_view stagedPath);

}  // namespace vorn2shp
