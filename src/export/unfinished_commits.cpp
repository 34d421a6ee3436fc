// What runs that were cut off (killed, or the machine stopped) left in an
// output directory, settled before a run does anything at an output base
// there.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "commit_steps.h"
#include "common/dataset_files.h"
#include "common/diagnostics.h"
#include "common/lock_file.h"
#include "common/staging.h"
// settleUnfinishedCommits, of the stage's front door, is defined here.
#include "export/shape_exporter.h"

namespace vorn2shp {

namespace {

// Finishes the recorded commit when every new file is there (in the
// staging directory, or moved), and undoes it otherwise. The reason it was
// undone, or "" when it was finished.
std::string settleCommit(const CommitPlace& place, const CommitRecord& record,
                         const std::string& parentPath) {
    std::string undoneFor;
    if (std::any_of(record.steps.begin(), record.steps.end(), [&place](const CommitStep& step) {
            return stateOf(place, step) == StepState::Lost;
        })) {
        undoneFor = "some of its new files are missing";
    }
    for (auto step = record.steps.begin(); undoneFor.empty() && step != record.steps.end();
         ++step) {
        int error = 0;
        if (stateOf(place, *step) == StepState::Pending && !takeStep(place, *step, error)) {
            undoneFor = "the move could not be finished (" +
                        describeFileError(parentPath + step->target, error) + ")";
        }
    }
    if (!undoneFor.empty()) {
        for (auto step = record.steps.rbegin(); step != record.steps.rend(); ++step) {
            undoStep(place, *step);
        }
    }
    fsync(place.output);
    return undoneFor;
}

void settle(int output, const std::string& parentPath, const std::string& name) {
    const std::string shown = parentPath + name;
    int error = 0;
    const Descriptor staging = claimAbandonedStaging(output, name, error);
    if (!staging.valid()) {
        // Held by a run still at work, or of another user.
        if (error != 0) {
            warn(describeFileError(shown, error) + "; it is left as it is");
        }
        return;
    }
    const std::optional<CommitRecord> record = readCommitRecord(staging.get());
    std::string message;
    if (!record) {
        message = "removed " + shown +
                  ", left behind by a run that was cut off (killed, or the machine stopped) "
                  "while no commit of it was under way";
    } else {
        const std::string undoneFor = settleCommit({output, staging.get()}, *record, parentPath);
        message = parentPath + record->stem +
                  ": a run was cut off (killed, or the machine stopped) while it moved its files "
                  "into place; " +
                  (undoneFor.empty() ? std::string("the move has been finished, and the new "
                                                   "dataset there is whole")
                                     : undoneFor + ", so the earlier files have been put back");
    }
    removeStagingDirectory(output, name, staging.get());
    fsync(output);
    warn(message);
}

}  // namespace

void settleUnfinishedCommits(const std::string& outputBase, StagingRegistry& staging) {
    const std::string base = datasetBase(outputBase);
    const std::string parentPath = base.substr(0, base.rfind('/') + 1);
    const Descriptor output(
        open(parentPath.empty() ? "." : parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Nothing to settle is the usual case: no lock file is made for it.
    if (!output.valid() || stagingNamesIn(output.get()).empty()) {
        return;
    }
    LockFile lock;
    const std::string shownDirectory = parentPath.empty() ? "the working directory" : parentPath;
    if (claimOutputDirectory(lock, output.get(), shownDirectory) != LockFile::Outcome::Held) {
        return;
    }
    const ConsoleHold hold;
    staging.runWhole(hold, [&] {
        for (const std::string& name : stagingNamesIn(output.get())) {
            settle(output.get(), parentPath, name);
        }
    });
}

}  // namespace vorn2shp
