// The files of one shapefile, written in a staging directory beside their
// final place and moved there together once every one of them is complete,
// so that a run that fails or is stopped leaves the earlier files at the
// output base as they were, and a run that is killed or loses power in the
// middle of the move leaves a record from which the next run finishes it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "commit_steps.h"
#include "common/lock_file.h"
#include "common/staging.h"

namespace vorn2shp {

class StagedShapefile {
public:
    // The files of `outputBase`, named as shapelib names them: a last
    // extension of the base is dropped ("roads.v2" -> roads.shp).
    StagedShapefile(StagingRegistry& registry, const std::string& outputBase);
    // Discards whatever was not committed.
    ~StagedShapefile();
    StagedShapefile(const StagedShapefile&) = delete;
    StagedShapefile& operator=(const StagedShapefile&) = delete;

    // Creates the staging directory; false with error() set when it cannot.
    bool create();
    int error() const { return error_; }

    // The base to create the shapefile and the table with, in the staging
    // directory; shapelib derives the .shp, .shx and .dbf from it.
    std::string stagedBase() const { return stagedPath("shp"); }
    std::string stagedPath(std::string_view extension) const;
    std::string finalPath(std::string_view extension) const;

    // 0 when the file at finalPath(extension), if there is one, may be
    // replaced; otherwise the reason (a directory, a file the user may not
    // write), as creating it in place would have given. A symbolic link may
    // always be replaced, whatever it points to.
    int replacementError(std::string_view extension) const;

    // Keeps other runs from changing a dataset in the output directory from
    // now until the commit is over, waiting first, with a line on stderr,
    // while one of them is committing. The files a commit takes away are
    // looked for once this holds.
    void holdOutputDirectory();

    // Moves the `written` files into place, replacing the earlier ones (the
    // .shp last, so a reader that finds the new .shp finds the whole set),
    // and takes away the `stale` files of the earlier dataset, paths beside
    // the output that the new set has no part for, naming on stderr each
    // that was there. All or nothing: after a failure, reported on stderr,
    // every file is put back as it was. Every file is on disk before the
    // first is moved, and the moves are recorded there before they begin.
    bool commit(const std::vector<std::string_view>& written,
                const std::vector<std::string>& stale);

private:
    // Each sets `failure` to the message of what went wrong.
    bool moveIntoPlace(const std::vector<std::string_view>& written,
                       const std::vector<std::string>& stale, std::vector<std::string>& takenAway,
                       std::string& failure);
    std::vector<CommitStep> planSteps(const std::vector<std::string_view>& written,
                                      const std::vector<std::string>& stale) const;
    CommitStep replaceStep(std::string_view part, std::size_t index) const;
    bool flushNewFiles(const std::vector<CommitStep>& steps, std::string& failure) const;
    std::string shownDirectory() const;

    StagingRegistry& registry_;
    std::string parent_;  // "" or ending in '/'
    std::string stem_;    // the name of the files without their extension
    const StagingDirectory* directory_ = nullptr;
    LockFile lock_;
    int error_ = 0;
};

}  // namespace vorn2shp
