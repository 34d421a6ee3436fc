// The lock of vorn2shp's own in a directory.
//
// .vorn2shp-lock, a file in the directory, holds one byte for each thing a
// run may claim there: working in the directory (for the whole run) and
// changing a dataset in it (while a run makes its staging directory, commits,
// or settles what a killed run left). A claim is a write lock on its byte
// through the run's own open of the file (an open file description lock):
//  - it needs the file open for writing, and the file is made writable for
//    those who may write the directory, so a user who may only read it can
//    claim nothing and block no one (a lock on the directory itself would
//    need no more than reading it);
//  - the kernel drops it when the process ends, however it ends;
//  - it does not meet the other claim that the same run holds through
//    another open of the file.
#pragma once

#include <sys/types.h>

#include "common/descriptor.h"

namespace vorn2shp {

constexpr const char* kLockFileName = ".vorn2shp-lock";

class LockFile {
public:
    enum class Claim : off_t { Working = 0, Changing = 1 };
    enum class Outcome { Held, Busy, Unavailable };

    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Opens the lock file of `directory` (a descriptor, or AT_FDCWD),
    // creating it when there is none, and takes `claim` if no other run
    // holds it. Unavailable, with error() set (an errno or a FileRefusal),
    // when the file cannot be opened for writing or locked at all.
    Outcome take(int directory, Claim claim);
    // After Busy: waits until the claim can be taken, and takes it.
    bool wait();
    // Gives the claim up (the file is closed).
    void release() { file_.reset(); }

    int error() const { return error_; }

private:
    Descriptor file_;
    Claim claim_ = Claim::Working;
    int error_ = 0;
};

}  // namespace vorn2shp
