#include "directory_lock.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/descriptor.h"
#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

std::string absolutePathOf(const WorkDirectory& work) {
    std::error_code error;
    const std::filesystem::path path = work.path().empty()
                                           ? std::filesystem::current_path(error)
                                           : std::filesystem::absolute(work.path(), error);
    return error ? work.directory() : path.lexically_normal().string();
}

}  // namespace

bool WorkingDirectoryLock::acquire(const WorkDirectory& work) {
    Descriptor directory;
    if (!work.path().empty()) {
        // Only a path to it is needed, so a directory that may be searched
        // but not listed still takes its lock file.
        directory.reset(::open(work.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!directory.valid()) {
            warn("cannot use the work directory " +
                 describeFileError(work.path(), errno != 0 ? errno : EIO) +
                 "; nothing was written");
            return false;
        }
    }
    switch (lock_.take(directory.valid() ? directory.get() : AT_FDCWD, LockFile::Claim::Working)) {
        case LockFile::Outcome::Held:
            return true;
        case LockFile::Outcome::Busy:
            warn("another conversion is using this directory (" + absolutePathOf(work) +
                 "); nothing was written");
            return false;
        case LockFile::Outcome::Unavailable:
            break;
    }
    warn(describeFileError(work.pathOf(kLockFileName), lock_.error()) +
         "; the directory is not locked against a second conversion");
    return true;
}

}  // namespace vorn2shp
