// The steps of a commit, and their record.
//
// A commit moves files one at a time: each new file from the staging
// directory onto its name in the output directory, and each side file of
// the earlier dataset that the new one has no part for out of the output
// directory. The earlier file at each name is kept in the staging directory
// until the commit is complete, so every step can be put back. The steps are
// recorded in the staging directory, and flushed to disk, before the first
// one is taken, and whether a step was taken can be told from the files
// alone: a run that finds the record of a commit that was cut off (killed,
// or the machine stopped) can finish it or undo it, from any instant.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "common/lock_file.h"

namespace vorn2shp {

struct CommitStep {
    enum class Kind { Replace, TakeAway };
    Kind kind = Kind::Replace;
    std::string target;    // its name in the output directory
    std::string staged;    // Replace: the new file's name in the staging directory
    std::string saved;     // where the earlier file is kept in the staging directory; "": nowhere
    bool existed = false;  // Replace: a file was at `target` before
    ino_t inode = 0;       // the file the step moves: the new one, or the earlier one taken away
};

struct CommitRecord {
    std::string stem;  // the dataset's name in the output directory, without extension
    std::vector<CommitStep> steps;
};

// Where the steps move files between.
struct CommitPlace {
    int output = -1;   // the output directory
    int staging = -1;  // the staging directory in it
};

// Writes `record` into the staging directory and flushes it, and the
// directory, to disk. False with `error` set.
bool writeCommitRecord(int staging, const CommitRecord& record, int& error);

// The record in the staging directory; nothing where there is none, or only
// part of one (cut short before it reached the disk).
std::optional<CommitRecord> readCommitRecord(int staging);

enum class StepState { Pending, Taken, Lost };

// Whether `step` has been taken. A Replace whose new file is neither in the
// staging directory nor at its name is Lost: the commit cannot be finished.
StepState stateOf(const CommitPlace& place, const CommitStep& step);

// Takes `step`. False with `error` set.
bool takeStep(const CommitPlace& place, const CommitStep& step, int& error);

// Puts back what `step` did, where it was taken; nothing otherwise.
void undoStep(const CommitPlace& place, const CommitStep& step);

// Takes the claim for changing a dataset in `directory`, shown in messages
// as `shown`. While another run holds it (its commit takes moments), waits
// for it, and says so.
LockFile::Outcome claimOutputDirectory(LockFile& lock, int directory, const std::string& shown);

}  // namespace vorn2shp
