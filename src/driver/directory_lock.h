// One conversion at a time in a working directory.
//
// The stages hand their work on through files with fixed names in the
// working directory, so two runs there at once would read each other's
// files and could both end in success with wrong data. The lock is an
// advisory lock on the directory itself: it creates no file, and the kernel
// drops it when the process ends, however it ends.
#pragma once

namespace vorn2shp {

class WorkingDirectoryLock {
public:
    WorkingDirectoryLock() = default;
    ~WorkingDirectoryLock();
    WorkingDirectoryLock(const WorkingDirectoryLock&) = delete;
    WorkingDirectoryLock& operator=(const WorkingDirectoryLock&) = delete;

    // Takes the lock. False, after saying so on stderr, when another
    // conversion holds it. A directory that cannot be locked at all (one
    // that may be written but not read) is worked in unlocked, with a warning.
    bool acquire();

private:
    int descriptor_ = -1;
};

}  // namespace vorn2shp
