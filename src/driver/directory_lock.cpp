#include "directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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

WorkingDirectoryLock::~WorkingDirectoryLock() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

bool WorkingDirectoryLock::acquire() {
    descriptor_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor_ >= 0 && flock(descriptor_, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    const int error = errno;
    if (descriptor_ >= 0 && error == EWOULDBLOCK) {
        warn("another conversion is using this directory (" + workingDirectory() +
             "); nothing was written");
        return false;
    }
    warn(describeFileError(workingDirectory(), error) +
         "; the directory is not locked against a second conversion");
    return true;
}

}  // namespace vorn2shp
