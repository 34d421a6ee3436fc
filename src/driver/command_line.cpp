#include "command_line.h"

#include <getopt.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "common/dataset_files.h"
#include "option_table.h"

namespace vorn2shp {

namespace {

// Each option's code is kFirstLongCode plus its place in the table, above
// every character, so that the code getopt reports for an option given a
// value it does not take tells a long option from an unknown short one.
constexpr int kFileName = 1;  // what getopt returns for a file name in "-" mode
constexpr int kFirstLongCode = 256;

std::vector<option> longOptionsOf(const std::vector<CommandLineOption>& options) {
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const int hasValue = options[i].value != nullptr ? required_argument : no_argument;
        longOptions.push_back(
            {options[i].name, hasValue, nullptr, kFirstLongCode + static_cast<int>(i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    return longOptions;
}

// "-": file names come back in place, as kFileName, whatever POSIXLY_CORRECT
// says, so options may follow them. ":": a missing value is told apart from
// an unknown option.
std::string shortOptionsOf(const std::vector<CommandLineOption>& options) {
    std::string letters = "-:";
    for (const CommandLineOption& option : options) {
        if (option.letter != 0) {
            letters.push_back(option.letter);
            if (option.value != nullptr) {
                letters.push_back(':');
            }
        }
    }
    return letters;
}

// The table's entry of what getopt_long returned: a long option's code or
// a short option's letter; null for anything else.
const CommandLineOption* optionOf(int code, const std::vector<CommandLineOption>& options) {
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (code == kFirstLongCode + static_cast<int>(i) ||
            (options[i].letter != 0 && code == options[i].letter)) {
            return &options[i];
        }
    }
    return nullptr;
}

std::string longOptionName(int code) {
    const CommandLineOption* known = optionOf(code, commandLineOptions());
    return known != nullptr && code >= kFirstLongCode ? std::string("--") + known->name
                                                      : std::string();
}

// What getopt_long refused, in the words of the user's own command line.
std::string refusal(int result, char** argv) {
    if (result == ':') {
        return "option '" + longOptionName(optopt) + "' needs a value";
    }
    if (optopt >= kFirstLongCode) {
        return "option '" + longOptionName(optopt) + "' takes no value";
    }
    if (optopt != 0) {
        return std::string("unrecognized option '-") + static_cast<char>(optopt) + "'";
    }
    // An unknown long option: getopt has moved past it.
    const std::string_view given(argv[optind - 1]);
    return "unrecognized option '" + std::string(given.substr(0, given.find('='))) + "'";
}

CommandLine misuse(std::string what) {
    CommandLine line;
    line.action = CommandLine::Action::Misuse;
    line.misuse = std::move(what);
    return line;
}

std::string lastComponent(const std::string& path) {
    return path.substr(path.find_last_of("/\\") + 1);
}

// The last component of the output base without its extension. shapelib
// never cuts at the first character of the whole path, so ".x" would give
// the hidden files ".x.shp", ... in the working directory where "dir/.x"
// gives "dir/.shp": both are read here as the name they leave once cut.
std::string nameOnceCut(const std::string& outputBase) {
    const bool onlyAnExtension = outputBase.size() > 1 && outputBase.rfind('.') == 0 &&
                                 lastComponent(outputBase) == outputBase;
    return onlyAnExtension ? std::string() : lastComponent(datasetBase(outputBase));
}

// The files are named after the output base's last component, without the
// extension that shapelib cuts from it. Where that leaves no name ("",
// "dir/", ".", "..", ".x", "dir/.x"), the files would be hidden ones named
// ".shp" or "..shp": what the user meant is not known. Empty when the base
// is usable, else what is wrong with it.
std::string outputBaseFault(const std::string& outputBase) {
    const std::string name = nameOnceCut(outputBase);
    if (!name.empty() && name != "." && name != "..") {
        return {};
    }
    const std::string given = lastComponent(outputBase);
    const std::string fault = "the output base '" + outputBase + "' has no file name part";
    if (given.empty() || given == "." || given == "..") {
        return fault + " to name the .shp, .shx and .dbf after";
    }
    return fault + ": '" + given + "' leaves none once its extension is cut";
}

CommandLine withFileNames(CommandLine line, std::vector<std::string> names) {
    if (names.size() < 2) {
        return misuse("");
    }
    if (std::string fault = outputBaseFault(names[1]); !fault.empty()) {
        return misuse(std::move(fault));
    }
    line.action = CommandLine::Action::Convert;
    line.settings.inputPath = names[0];
    line.settings.outputBase = names[1];
    line.ignored.assign(names.begin() + 2, names.end());
    return line;
}

}  // namespace

CommandLine readCommandLine(int argc, char** argv) {
    CommandLine line;
    std::vector<std::string> names;
    // The first thing wrong is told, but only once the whole command line
    // is read: a --help or --version after it still answers.
    std::string refused;
    const auto refuse = [&refused](std::string what) {
        if (refused.empty()) {
            refused = std::move(what);
        }
    };
    opterr = 0;  // the refusals are reported in the program's own words
    optind = 0;  // a fresh start, should the command line be read again
    int code = 0;
    const std::vector<CommandLineOption>& options = commandLineOptions();
    const std::vector<option> longOptions = longOptionsOf(options);
    const std::string shortOptions = shortOptionsOf(options);
    while ((code = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr)) !=
           -1) {
        const CommandLineOption* given = code == kFileName ? nullptr : optionOf(code, options);
        if (code == kFileName) {
            names.emplace_back(optarg);
        } else if (given == nullptr) {
            refuse(refusal(code, argv));
        } else if (given->kind == CommandLineOption::Kind::Help) {
            line.action = CommandLine::Action::ShowHelp;
            return line;
        } else if (given->kind == CommandLineOption::Kind::Version) {
            line.action = CommandLine::Action::ShowVersion;
            return line;
        } else {
            refuse(given->take(optarg != nullptr ? optarg : "", line.settings));
        }
    }
    if (!refused.empty()) {
        return misuse(std::move(refused));
    }
    // Everything after "--" is a file name.
    names.insert(names.end(), argv + optind, argv + argc);
    return withFileNames(std::move(line), std::move(names));
}

std::string usageText() {
    return "usage: vorn2shp [options] <constraint-file> <output-base>\n"
           "\n"
           "Converts the VORN constraint relation in <constraint-file> (with its\n"
           "side files <base>.def and <base>.info) into <output-base>.shp, .shx\n"
           "and .dbf, with y negated unless --keep-y is given. Intermediate files\n"
           "are left in the current directory, or in the one --work-dir names.\n"
           "Options may stand before or after the file names; -- ends them.\n"
           "\n" +
           optionLines();
}

}  // namespace vorn2shp
