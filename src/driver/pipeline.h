// The conversion pipeline: the stages in their fixed order, and the exit
// status that the run ends with.
#pragma once

#include "common/staging.h"
#include "conversion_settings.h"

namespace vorn2shp {

enum class ExitStatus { Ok = 0, Failure = 1, Usage = 2 };

// Runs every stage once, in order, with the intermediate files in the work
// directory, and prints the closing lines when all of them succeeded. The
// process never leaves the directory it was started in. The run first takes
// the work directory for itself (a second run there at the same time is
// refused), settles what a run that was cut off left at the output base,
// checks the files it reads against those it writes, and reads a
// .prj to copy, so a busy directory, an input that the run would overwrite,
// a link at a name it writes or a .prj that cannot be read stops it before
// anything is written. The shapefile is staged through `staging`.
ExitStatus runConversion(const ConversionSettings& settings, StagingRegistry& staging);

}  // namespace vorn2shp
