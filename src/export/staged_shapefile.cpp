#include "staged_shapefile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "commit_steps.h"
#include "common/dataset_files.h"
#include "common/diagnostics.h"
#include "stale_side_files.h"

namespace vorn2shp {

namespace {

// For the tests of a commit that is cut off or met by another:
// VORN2SHP_TEST_COMMIT_KILL_AT=N kills the run outright (SIGKILL, as kill -9
// would) at the commit's N-th point, counted from 1: before its record,
// before its first step, after each step. VORN2SHP_TEST_COMMIT_STOP_AT=N
// stops it there (SIGSTOP) until the test lets it go on (SIGCONT). Read only
// here, once a commit begins.
class CommitTestPoints {
public:
    CommitTestPoints()
        : killAt_(numberIn("VORN2SHP_TEST_COMMIT_KILL_AT")),
          stopAt_(numberIn("VORN2SHP_TEST_COMMIT_STOP_AT")) {}

    void reach() {
        ++reached_;
        if (reached_ == stopAt_) {
            raise(SIGSTOP);
        }
        if (reached_ == killAt_) {
            raise(SIGKILL);
        }
    }

private:
    static long numberIn(const char* variable) {
        const char* text = std::getenv(variable);
        return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    }

    long killAt_;
    long stopAt_;
    long reached_ = 0;
};

std::string leafOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Short, so that it fits wherever the staging directory does, whatever the
// length of the dataset's name.
std::string savedName(std::size_t step) { return "earlier-" + std::to_string(step); }

// A directory that may be written and entered but not read is opened for
// its name only; it cannot then be flushed to disk.
Descriptor openDirectory(const std::string& path) {
    const char* name = path.empty() ? "." : path.c_str();
    Descriptor directory(open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.valid() && errno == EACCES) {
        directory.reset(open(name, O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return directory;
}

}  // namespace

StagedShapefile::StagedShapefile(StagingRegistry& registry, const std::string& outputBase)
    : registry_(registry) {
    const std::string stem = datasetBase(outputBase);
    const std::size_t slash = stem.rfind('/');
    const std::size_t leaf = slash == std::string_view::npos ? 0 : slash + 1;
    parent_ = stem.substr(0, leaf);
    stem_ = stem.substr(leaf);
}

StagedShapefile::~StagedShapefile() {
    if (directory_ != nullptr) {
        registry_.discard(directory_);
    }
}

std::string StagedShapefile::shownDirectory() const {
    return parent_.empty() ? std::string("the working directory") : parent_;
}

// The staging directory is made while no other run settles what a killed
// run left there, which would take a directory not yet locked for one left
// behind.
bool StagedShapefile::create() {
    Descriptor output = openDirectory(parent_);
    if (!output.valid()) {
        error_ = errno;
        return false;
    }
    const LockFile::Outcome claim = claimOutputDirectory(lock_, output.get(), shownDirectory());
    const int lockError = lock_.error();
    directory_ = registry_.createDirectory(std::move(output), parent_, error_);
    lock_.release();
    if (directory_ != nullptr && claim == LockFile::Outcome::Unavailable) {
        warn(describeFileError(parent_ + kLockFileName, lockError) +
             "; the dataset is not locked against another conversion writing it");
    }
    return directory_ != nullptr;
}

std::string StagedShapefile::stagedPath(std::string_view extension) const {
    std::string leaf = stem_ + ".";
    leaf.append(extension);
    return directory_ != nullptr ? directory_->pathOf(leaf) : leaf;
}

std::string StagedShapefile::finalPath(std::string_view extension) const {
    std::string path = parent_ + stem_ + ".";
    path.append(extension);
    return path;
}

int StagedShapefile::replacementError(std::string_view extension) const {
    const std::string path = finalPath(extension);
    struct stat status {};
    // A link is replaced, never written through: where it points is no matter.
    if (lstat(path.c_str(), &status) != 0 || S_ISLNK(status.st_mode)) {
        return 0;
    }
    if (S_ISDIR(status.st_mode)) {
        return EISDIR;
    }
    return access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

void StagedShapefile::holdOutputDirectory() {
    if (directory_ != nullptr) {
        claimOutputDirectory(lock_, directory_->parent(), shownDirectory());
    }
}

bool StagedShapefile::commit(const std::vector<std::string_view>& written,
                             const std::vector<std::string>& stale) {
    // The console is held from before the registry to the last message: a
    // stop that comes meanwhile waits, and then finds the commit either not
    // begun or done and told.
    const ConsoleHold hold;
    std::string failure;
    std::vector<std::string> takenAway;
    const bool committed = registry_.commit(hold, directory_, finalPath("shp"), [&] {
        return moveIntoPlace(written, stale, takenAway, failure);
    });
    directory_ = nullptr;
    lock_.release();
    if (!committed) {
        warn(failure);
        return false;
    }
    reportRemovedSideFiles(takenAway);
    return true;
}

// The steps in the order they are taken: the new files but the .shp, the
// earlier side files, the .shp.
std::vector<CommitStep> StagedShapefile::planSteps(const std::vector<std::string_view>& written,
                                                   const std::vector<std::string>& stale) const {
    std::vector<CommitStep> steps;
    for (const std::string_view part : written) {
        if (part != "shp") {
            steps.push_back(replaceStep(part, steps.size()));
        }
    }
    for (const std::string& path : stale) {
        struct stat status {};
        const std::string leaf = leafOf(path);
        // Only a file is taken away: a directory of that name belongs to no dataset.
        if (fstatat(directory_->parent(), leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(status.st_mode)) {
            steps.push_back({CommitStep::Kind::TakeAway, leaf, "", savedName(steps.size()), true,
                             status.st_ino});
        }
    }
    if (std::find(written.begin(), written.end(), "shp") != written.end()) {
        steps.push_back(replaceStep("shp", steps.size()));
    }
    return steps;
}

// The earlier file at the name gets a second name in the staging directory,
// and the new file takes the permissions the user gave the earlier one.
CommitStep StagedShapefile::replaceStep(std::string_view part, std::size_t index) const {
    const int output = directory_->parent();
    const int staging = directory_->descriptor();
    CommitStep step{CommitStep::Kind::Replace, leafOf(finalPath(part)), "", "", false, 0};
    step.staged = step.target;
    struct stat status {};
    step.existed = fstatat(output, step.target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (step.existed && S_ISREG(status.st_mode)) {
        fchmodat(staging, step.staged.c_str(), status.st_mode & 0777, 0);
    }
    // A file system without hard links cannot keep the earlier file.
    step.saved = savedName(index);
    if (!step.existed || linkat(output, step.target.c_str(), staging, step.saved.c_str(), 0) != 0) {
        step.saved.clear();
    }
    if (fstatat(staging, step.staged.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        step.inode = status.st_ino;
    }
    return step;
}

// A file the kernel has not yet written out could come back empty after a
// power cut, under its final name: every new file is on disk before the
// first is moved. A full disk may show only here, where the space is taken.
bool StagedShapefile::flushNewFiles(const std::vector<CommitStep>& steps,
                                    std::string& failure) const {
    for (const CommitStep& step : steps) {
        if (step.kind != CommitStep::Kind::Replace) {
            continue;
        }
        const Descriptor file(openat(directory_->descriptor(), step.staged.c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!file.valid() || fsync(file.get()) != 0) {
            failure = describeFileError(parent_ + step.target, errno);
            return false;
        }
    }
    return true;
}

bool StagedShapefile::moveIntoPlace(const std::vector<std::string_view>& written,
                                    const std::vector<std::string>& stale,
                                    std::vector<std::string>& takenAway, std::string& failure) {
    CommitTestPoints points;
    const CommitPlace place{directory_->parent(), directory_->descriptor()};
    const CommitRecord record{stem_, planSteps(written, stale)};
    if (!flushNewFiles(record.steps, failure)) {
        return false;
    }
    points.reach();
    int error = 0;
    if (!writeCommitRecord(place.staging, record, error)) {
        failure = describeFileError(finalPath("shp"), error);
        return false;
    }
    points.reach();
    std::size_t taken = 0;
    for (; taken < record.steps.size() && takeStep(place, record.steps[taken], error); ++taken) {
        points.reach();
    }
    if (taken < record.steps.size()) {
        const CommitStep& step = record.steps[taken];
        failure = step.kind == CommitStep::Kind::TakeAway
                      ? "cannot remove " + describeFileError(parent_ + step.target, error)
                      : describeFileError(parent_ + step.target, error);
        while (taken > 0) {
            undoStep(place, record.steps[--taken]);
        }
    }
    // A directory opened for its name only cannot be flushed; nothing else fails here.
    fsync(place.output);
    for (const CommitStep& step : record.steps) {
        if (step.kind == CommitStep::Kind::TakeAway) {
            takenAway.push_back(parent_ + step.target);
        }
    }
    return failure.empty();
}

}  // namespace vorn2shp
