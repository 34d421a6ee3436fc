// The conversion pipeline: the stages in their fixed order, and the exit
// status that the run ends with.
#pragma once

#include <string>

namespace vorn2shp {

enum class ExitStatus { Ok = 0, Failure = 1, Usage = 2 };

// Runs every stage once, in order, in the current working directory, and
// prints the closing lines when all of them succeeded.
ExitStatus runConversion(const std::string& inputPath, const std::string& outputBase);

}  // namespace vorn2shp
