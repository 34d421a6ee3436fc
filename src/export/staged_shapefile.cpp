#include "staged_shapefile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/diagnostics.h"
#include "export/shape_exporter.h"
#include "stale_side_files.h"

namespace vorn2shp {

// What puts one step of a commit back: the earlier file, kept under a second
// name in the staging directory (`saved`), returns to `target`; a file that
// did not exist before is removed again.
struct StagedShapefile::Undo {
    std::string target;
    std::string saved;  // empty: no earlier file was kept
    bool existed = false;
    bool stale = false;  // an earlier file taken away, not replaced
};

StagedShapefile::StagedShapefile(StagingRegistry& registry, const std::string& outputBase)
    : registry_(registry) {
    const std::string stem = datasetBase(outputBase);
    const std::size_t slash = stem.rfind('/');
    const std::size_t leaf = slash == std::string_view::npos ? 0 : slash + 1;
    parent_ = stem.substr(0, leaf);
    stem_ = stem.substr(leaf);
}

StagedShapefile::~StagedShapefile() {
    if (!directory_.empty()) {
        registry_.discard(directory_);
    }
}

bool StagedShapefile::create() {
    directory_ = registry_.createDirectory(parent_, error_);
    return !directory_.empty();
}

std::string StagedShapefile::stagedPath(std::string_view extension) const {
    std::string path = directory_ + "/" + stem_ + ".";
    path.append(extension);
    return path;
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

bool StagedShapefile::commit(const std::vector<std::string_view>& written,
                             const std::vector<std::string>& stale) {
    // The console is held from before the registry to the last message, in
    // the order a stop takes them: a stop that comes meanwhile waits, and
    // then finds the commit either not begun or done and told.
    const ConsoleHold hold;
    std::string failure;
    std::vector<Undo> done;
    const bool committed = registry_.commit(
        directory_, finalPath("shp"), [&] { return moveIntoPlace(written, stale, done, failure); });
    directory_.clear();
    if (!committed) {
        warn(failure);
        return false;
    }
    std::vector<std::string> takenAway;
    for (const Undo& step : done) {
        if (step.stale) {
            takenAway.push_back(step.target);
        }
    }
    reportRemovedSideFiles(takenAway);
    return true;
}

bool StagedShapefile::moveIntoPlace(const std::vector<std::string_view>& written,
                                    const std::vector<std::string>& stale, std::vector<Undo>& done,
                                    std::string& failure) {
    done.reserve(written.size() + stale.size());
    bool moved = true;
    for (auto extension = written.begin(); moved && extension != written.end(); ++extension) {
        moved = *extension == "shp" || replace(*extension, done, failure);
    }
    for (auto path = stale.begin(); moved && path != stale.end(); ++path) {
        moved = takeAway(*path, done, failure);
    }
    if (moved && std::find(written.begin(), written.end(), "shp") != written.end()) {
        moved = replace("shp", done, failure);
    }
    if (moved) {
        return true;
    }
    for (auto step = done.rbegin(); step != done.rend(); ++step) {
        if (!step->saved.empty()) {
            std::rename(step->saved.c_str(), step->target.c_str());
        } else if (!step->existed) {
            unlink(step->target.c_str());
        }
    }
    return false;
}

bool StagedShapefile::replace(std::string_view extension, std::vector<Undo>& done,
                              std::string& failure) {
    const std::string staged = stagedPath(extension);
    Undo undo{finalPath(extension), staged + ".previous", false};
    struct stat status {};
    undo.existed = lstat(undo.target.c_str(), &status) == 0;
    if (undo.existed && S_ISREG(status.st_mode)) {
        // The new file keeps the permissions the user gave the earlier one.
        chmod(staged.c_str(), status.st_mode & 0777);
    }
    // A second name keeps the earlier file (or link) until the commit is
    // complete; a file system without hard links cannot keep it.
    if (!undo.existed || link(undo.target.c_str(), undo.saved.c_str()) != 0) {
        undo.saved.clear();
    }
    if (std::rename(staged.c_str(), undo.target.c_str()) != 0) {
        failure = describeFileError(undo.target, errno);
        return false;
    }
    done.push_back(std::move(undo));
    return true;
}

bool StagedShapefile::takeAway(const std::string& path, std::vector<Undo>& done,
                               std::string& failure) {
    // Kept in the staging directory under a name no staged file has, until
    // the commit is complete.
    Undo undo{path, directory_ + "/earlier-" + std::to_string(done.size()), true, true};
    struct stat status {};
    // Only a file is taken away: a directory of that name belongs to no dataset.
    if (lstat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return true;
    }
    if (std::rename(path.c_str(), undo.saved.c_str()) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        failure = "cannot remove " + describeFileError(path, errno);
        return false;
    }
    done.push_back(std::move(undo));
    return true;
}

}  // namespace vorn2shp
