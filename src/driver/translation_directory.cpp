#include "translation_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/diagnostics.h"

namespace vorn2shp {

TranslationDirectory::~TranslationDirectory() {
    if (started_.valid() && fchdir(started_.get()) != 0) {
        errno = 0;  // on the way out of a failed run: nothing is written after it
    }
}

bool TranslationDirectory::enter(const WorkDirectory& work) {
    if (work.path().empty()) {
        return true;
    }
    // A path to the directory is enough to come back to it, even where it
    // may not be listed.
    Descriptor started(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (started.valid() && chdir(work.path().c_str()) == 0) {
        started_ = std::move(started);
        return true;
    }
    warn("cannot enter the work directory " +
         describeFileError(work.path(), errno != 0 ? errno : EIO));
    return false;
}

bool TranslationDirectory::leave() {
    if (!started_.valid()) {
        return true;
    }
    const bool back = fchdir(started_.get()) == 0;
    if (!back) {
        warn(describeFileError("cannot return to the directory the run was started in", errno));
    }
    started_.reset();
    return back;
}

}  // namespace vorn2shp
