#include "directory_lock.h"

#include <fcntl.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

std::string workingDirectory() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::string(".") : path.string();
}

}  // namespace

bool WorkingDirectoryLock::acquire() {
    switch (lock_.take(AT_FDCWD, LockFile::Claim::Working)) {
        case LockFile::Outcome::Held:
            return true;
        case LockFile::Outcome::Busy:
            warn("another conversion is using this directory (" + workingDirectory() +
                 "); nothing was written");
            return false;
        case LockFile::Outcome::Unavailable:
            break;
    }
    warn(describeFileError(kLockFileName, lock_.error()) +
         "; the directory is not locked against a second conversion");
    return true;
}

}  // namespace vorn2shp
