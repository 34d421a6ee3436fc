// One conversion at a time in a work directory.
//
// The stages hand their work on through files with fixed names in the work
// directory (the working directory, or the one --work-dir names), so two
// runs there at once would read each other's files and could both end in
// success with wrong data. The lock is the work directory's claim in
// vorn2shp's own lock file there (common/lock_file.h), which only those who
// may write the directory can take, and which the kernel drops when the
// process ends, however it ends.
#pragma once

#include "common/lock_file.h"
#include "common/work_directory.h"

namespace vorn2shp {

class WorkingDirectoryLock {
public:
    WorkingDirectoryLock() = default;
    WorkingDirectoryLock(const WorkingDirectoryLock&) = delete;
    WorkingDirectoryLock& operator=(const WorkingDirectoryLock&) = delete;

    // Takes the lock of `work`. False, after saying so on stderr, when
    // another conversion holds it, or when the directory cannot be opened
    // at all. Where the lock file cannot be opened for writing (a directory
    // the user may not write, a lock file of another user that the user may
    // not write), the run goes on unlocked, with a warning.
    bool acquire(const WorkDirectory& work = {});

private:
    LockFile lock_;
};

}  // namespace vorn2shp
