// Every option of the command line, defined once: the parser takes them by
// this table, the usage text lists them from it, and a test holds the
// manual page and the README's option table to it. A new option is one
// entry here and its effect.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "conversion_settings.h"

namespace vorn2shp {

struct CommandLineOption {
    // Help and version are answered where they stand; the others go into
    // the run's settings.
    enum class Kind { Setting, Help, Version };

    const char* name;   // "quiet" for --quiet
    char letter;        // 'q' for -q; 0 for none
    const char* value;  // what the usage calls its value ("FILE"); nullptr: it takes none
    // Its lines in the usage text, apart by '\n'.
    const char* help;
    Kind kind;
    // Takes the option, with its value if it takes one, into `settings`;
    // what is wrong with the value when it is unusable, else an empty text.
    // Null for help and version.
    std::string (*take)(std::string_view value, ConversionSettings& settings);
};

// Every option, in the order the usage text lists them.
const std::vector<CommandLineOption>& commandLineOptions();

// The usage text's lines for the options: each as "  -q, --quiet", its help
// beside it from the 24th column on (below it where the option runs past
// the 21st).
std::string optionLines();

}  // namespace vorn2shp
