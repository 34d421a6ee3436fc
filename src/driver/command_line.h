// The command line: the options, wherever they stand, and the two file names.
#pragma once

#include <string>
#include <vector>

#include "conversion_settings.h"

namespace vorn2shp {

struct CommandLine {
    enum class Action { Convert, ShowHelp, ShowVersion, Misuse };

    Action action = Action::Misuse;
    ConversionSettings settings;       // what to convert, for Convert
    std::vector<std::string> ignored;  // arguments after the output base name
    std::string misuse;  // what is wrong, for Misuse; empty when a file name is missing
};

// Reads the command line as getopt_long does: options may stand before,
// between or after the two file names, and "--" ends them. -h/--help and
// --version are acted on where they stand, before anything after them is
// read, and also after an option that is refused.
CommandLine readCommandLine(int argc, char** argv);

// The usage text with every option, ending in a line feed.
std::string usageText();

}  // namespace vorn2shp
