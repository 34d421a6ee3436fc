// The translation names its files (second.imd, def.imd, output.eff.imd) as
// they lie in the process's working directory. Where the run's work
// directory is another one (--work-dir), the translation runs with the
// process moved into it, and moved back once it is done: the stages before
// and after it name the user's own files relative to where the run was
// started, and the translation names none.
#pragma once

#include "common/descriptor.h"
#include "common/work_directory.h"

namespace vorn2shp {

class TranslationDirectory {
public:
    TranslationDirectory() = default;
    // Moves back, should leave() not have been called (a throw).
    ~TranslationDirectory();
    TranslationDirectory(const TranslationDirectory&) = delete;
    TranslationDirectory& operator=(const TranslationDirectory&) = delete;

    // Moves into `work`, unless it is the working directory already. False,
    // after a message on stderr, when that fails.
    bool enter(const WorkDirectory& work);
    // Moves back to where the run was started. False, after a message on
    // stderr, when that fails: the export would then write in the wrong place.
    bool leave();

private:
    Descriptor started_;  // the working directory the run was started in, while away
};

}  // namespace vorn2shp
