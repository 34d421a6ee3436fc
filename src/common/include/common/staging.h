// Output that exists only under temporary names until it is complete.
//
// A run writes its shapefile into a staging directory of its own beside the
// final files, and moves the files into place when every one of them has
// been written and closed. The registry knows every staging directory of the
// run, so that a run that is stopped can take them all away: the export
// stages and commits through it, and the thread that waits for a stop signal
// discards through it, hence the mutex.
//
// A run holds each of its staging directories open and locked (flock) for as
// long as it exists. A staging directory that a later run can lock was left
// by a run that is gone (killed, or the machine stopped): before the commit
// moves a file, it writes its record (kCommitRecord) there, and a later run
// finishes or undoes a commit it finds recorded, and removes a staging
// directory that holds no record.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/descriptor.h"
#include "common/diagnostics.h"

namespace vorn2shp {

// The name of the commit record in a staging directory; no staged file has
// it. A staging directory is removed with its record last.
constexpr const char* kCommitRecord = "commit";

class StagingDirectory {
public:
    StagingDirectory(Descriptor parent, std::string parentPath, std::string name, Descriptor self)
        : parent_(std::move(parent)),
          self_(std::move(self)),
          parentPath_(std::move(parentPath)),
          name_(std::move(name)) {}

    // The directory it lies in, and itself.
    int parent() const { return parent_.get(); }
    int descriptor() const { return self_.get(); }
    const std::string& name() const { return name_; }

    // The path by which calls that take one reach `leaf` in the directory:
    // its path beside the output, or, where that would pass the system's
    // limit for a path (an output path near the limit fits, the staging
    // directory's longer one may not), a path through its descriptor in
    // /proc/self/fd.
    std::string pathOf(std::string_view leaf) const;

private:
    Descriptor parent_;
    Descriptor self_;
    std::string parentPath_;  // "" or ending in '/'
    std::string name_;
};

class StagingRegistry {
public:
    StagingRegistry() = default;
    StagingRegistry(const StagingRegistry&) = delete;
    StagingRegistry& operator=(const StagingRegistry&) = delete;
    // Discards what is still staged.
    ~StagingRegistry();

    // Creates a fresh, empty staging directory in `parent`, a descriptor of
    // the directory at `parentPath` ("" for the working directory, else a
    // path ending in '/'). The directory is new (made under a name that did
    // not exist), so nothing in it is anyone else's. Null with `error` set
    // when it cannot be made.
    const StagingDirectory* createDirectory(Descriptor parent, const std::string& parentPath,
                                            int& error);

    // Removes a staging directory with everything in it.
    void discard(const StagingDirectory* directory);

    // The three below take the registry only with the console held (the
    // `held` they are given): a stop takes the console, then the registry,
    // and whoever took them the other way round could wait for the stop
    // while it waits for them.

    // Runs `moveIntoPlace`, which moves the files out of `directory`, with
    // no stop in between, then removes the directory. Once it succeeds, a
    // stop reports `shapesPath` as written.
    bool commit(const ConsoleHold& held, const StagingDirectory* directory,
                const std::string& shapesPath, const std::function<bool()>& moveIntoPlace);

    // Runs `work` with no stop in between: the settling of what a killed
    // run left, which a stop must not cut in two.
    void runWhole(const ConsoleHold& held, const std::function<void()>& work);

    // For a run that is being stopped: removes every staging directory and
    // keeps the registry locked, so that nothing more is staged or committed
    // before the process ends. Returns the .shp that was committed, or "".
    const std::string& discardAllAndHold(const ConsoleHold& held) noexcept;

private:
    void forget(const StagingDirectory* directory);

    std::mutex mutex_;
    std::vector<std::unique_ptr<StagingDirectory>> directories_;
    std::string committed_;
};

// Whether `leaf` is the name of a staging directory.
bool isStagingName(std::string_view leaf);

// The names of the staging directories in `directory`, sorted.
std::vector<std::string> stagingNamesIn(int directory);

// The staging directory `name` in `parent`, opened and locked, when the run
// that made it is gone; an invalid descriptor while a run holds it, or
// when it cannot be opened (`error` set then).
Descriptor claimAbandonedStaging(int parent, const std::string& name, int& error);

// Removes the staging directory `name` in `parent`, whose descriptor is
// `self`, with every file in it, its commit record last.
void removeStagingDirectory(int parent, const std::string& name, int self) noexcept;

// The path that the file at `stagedPath` will have once it is committed:
// the path itself when it does not lie in a staging directory. Messages name
// an output file by this path, the name the user gave.
std::string committedPathOf(std::string_view stagedPath);

}  // namespace vorn2shp
