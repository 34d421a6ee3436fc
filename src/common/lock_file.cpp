#include "common/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

// A new lock file may be written by whoever may write its directory: the
// directory's read and write bits, and its group. Where the group cannot be
// given (a user outside it), its members fall back to running unlocked.
int createLockFile(int directory) {
    struct stat folder {};
    if (fstatat(directory, ".", &folder, 0) != 0) {
        return -1;
    }
    const mode_t mode = folder.st_mode & 0666;
    const int descriptor =
        openat(directory, kLockFileName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (descriptor >= 0) {
        // The process's umask would take bits away that the directory grants.
        fchmod(descriptor, mode);
        if (fchown(descriptor, static_cast<uid_t>(-1), folder.st_gid) != 0) {
            errno = 0;
        }
    }
    return descriptor;
}

// Never through a symbolic link (it could point at any file the user may
// write) and never a FIFO or device, which an open may wait on.
int openLockFile(int directory, int& error) {
    int descriptor = createLockFile(directory);
    if (descriptor < 0 && errno == EEXIST) {
        descriptor = openat(directory, kLockFileName, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (descriptor < 0) {
        error = errno == ELOOP ? kSymbolicLink : errno;
        return -1;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        error = kNotARegularFile;
        return -1;
    }
    return descriptor;
}

struct flock byteOf(LockFile::Claim claim) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(claim);
    range.l_len = 1;
    return range;
}

}  // namespace

LockFile::Outcome LockFile::take(int directory, Claim claim) {
    claim_ = claim;
    error_ = 0;
    file_.reset(openLockFile(directory, error_));
    if (!file_.valid()) {
        return Outcome::Unavailable;
    }
    struct flock range = byteOf(claim);
    if (fcntl(file_.get(), F_OFD_SETLK, &range) == 0) {
        return Outcome::Held;
    }
    if (errno == EAGAIN || errno == EACCES) {
        return Outcome::Busy;
    }
    error_ = errno;
    file_.reset();
    return Outcome::Unavailable;
}

bool LockFile::wait() {
    struct flock range = byteOf(claim_);
    while (file_.valid()) {
        if (fcntl(file_.get(), F_OFD_SETLKW, &range) == 0) {
            return true;
        }
        if (errno != EINTR) {
            error_ = errno;
            file_.reset();
        }
    }
    return false;
}

}  // namespace vorn2shp
