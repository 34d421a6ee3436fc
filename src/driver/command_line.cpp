#include "command_line.h"

#include <getopt.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "common/column_choices.h"
#include "common/dataset_files.h"

namespace vorn2shp {

namespace {

// Long options have codes above every character, so that the code getopt
// reports for an option given a value it does not take tells a long option
// from an unknown short one.
enum OptionCode : int {
    kFileName = 1,  // what getopt returns for a file name in "-" mode
    kHelp = 256,
    kQuiet,
    kVerbose,
    kVersion,
    kProjection,
    kEncoding,
    kSpatialIndex,
    kDetectTypes,
    kType,
    kWidth,
    kKeepY,
    kProgress,
    kWorkDir,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"quiet", no_argument, nullptr, kQuiet},
    {"verbose", no_argument, nullptr, kVerbose},
    {"version", no_argument, nullptr, kVersion},
    {"prj", required_argument, nullptr, kProjection},
    {"encoding", required_argument, nullptr, kEncoding},
    {"spatial-index", no_argument, nullptr, kSpatialIndex},
    {"detect-types", no_argument, nullptr, kDetectTypes},
    {"type", required_argument, nullptr, kType},
    {"width", required_argument, nullptr, kWidth},
    {"keep-y", no_argument, nullptr, kKeepY},
    {"progress", no_argument, nullptr, kProgress},
    {"work-dir", required_argument, nullptr, kWorkDir},
    {nullptr, 0, nullptr, 0},
};

// "-": file names come back in place, as kFileName, whatever POSIXLY_CORRECT
// says, so options may follow them. ":": a missing value is told apart from
// an unknown option.
constexpr const char* kShortOptions = "-:hqv";

std::string longOptionName(int code) {
    for (const option& known : kLongOptions) {
        if (known.name != nullptr && known.val == code) {
            return std::string("--") + known.name;
        }
    }
    return {};
}

// What getopt_long refused, in the words of the user's own command line.
std::string refusal(int result, char** argv) {
    if (result == ':') {
        return "option '" + longOptionName(optopt) + "' needs a value";
    }
    if (optopt >= kHelp) {
        return "option '" + longOptionName(optopt) + "' takes no value";
    }
    if (optopt != 0) {
        return std::string("unrecognized option '-") + static_cast<char>(optopt) + "'";
    }
    // An unknown long option: getopt has moved past it.
    const std::string_view given(argv[optind - 1]);
    return "unrecognized option '" + std::string(given.substr(0, given.find('='))) + "'";
}

// A code page name as a .cpg holds it: printable ASCII, no blank at either end.
bool isCodePageName(std::string_view name) {
    return !name.empty() && name.front() != ' ' && name.back() != ' ' &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

CommandLine misuse(std::string what) {
    CommandLine line;
    line.action = CommandLine::Action::Misuse;
    line.misuse = std::move(what);
    return line;
}

std::string takeCodePage(std::string_view given, ConversionSettings& settings) {
    if (isCodePageName(given)) {
        settings.codePage = given;
        return {};
    }
    return "option '--encoding' needs a code page name such as UTF-8, ISO-8859-1 or 1252, not '" +
           std::string(given) + "'";
}

// "area=integer": the column's name, as the .info declares it or as the
// table names it, and its type. The name may hold '=' itself.
std::string takeColumnType(std::string_view given, ConversionSettings& settings) {
    const std::size_t equals = given.rfind('=');
    if (equals != std::string_view::npos && equals > 0) {
        const std::string_view type = given.substr(equals + 1);
        const std::string name(given.substr(0, equals));
        for (const ColumnType columnType :
             {ColumnType::Integer, ColumnType::Real, ColumnType::Text}) {
            if (type == columnTypeName(columnType)) {
                settings.columns.columnTypes.emplace_back(name, columnType);
                return {};
            }
        }
    }
    return "option '--type' needs NAME=integer, NAME=real or NAME=text, not '" +
           std::string(given) + "'";
}

// A dBASE column holds 1 to 254 bytes (GDAL's bound; the format's own byte
// would allow 255).
std::string takeTextWidth(std::string_view given, ConversionSettings& settings) {
    if (given == "auto") {
        settings.columns.textWidth = 0;
        return {};
    }
    const bool digits =
        !given.empty() && given.size() <= 3 &&
        std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::size_t width = digits ? std::stoul(std::string(given)) : 0;
    if (width >= 1 && width <= kMaxTextWidth) {
        settings.columns.textWidth = width;
        return {};
    }
    return "option '--width' needs a width of 1 to " + std::to_string(kMaxTextWidth) +
           " bytes, or auto, not '" + std::string(given) + "'";
}

// Takes the value of an option into `settings`; what is wrong with it when
// it is unusable, else an empty text.
std::string takeValue(int code, const char* value, ConversionSettings& settings) {
    const std::string_view given(value);
    switch (code) {
        case kProjection:
            if (given.empty()) {
                return "option '--prj' needs the name of a .prj file";
            }
            settings.projectionPath = given;
            return {};
        case kWorkDir:
            if (given.empty()) {
                return "option '--work-dir' needs the name of a directory";
            }
            settings.workDirectory = given;
            return {};
        case kEncoding:
            return takeCodePage(given, settings);
        case kType:
            return takeColumnType(given, settings);
        case kWidth:
            return takeTextWidth(given, settings);
        default:
            return {};
    }
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
    while ((code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
        switch (code) {
            case kFileName:
                names.emplace_back(optarg);
                break;
            case 'h':
            case kHelp:
                line.action = CommandLine::Action::ShowHelp;
                return line;
            case kVersion:
                line.action = CommandLine::Action::ShowVersion;
                return line;
            case 'q':
            case kQuiet:
                line.settings.quiet = true;
                break;
            case 'v':
            case kVerbose:
                line.settings.verbose = true;
                break;
            case kSpatialIndex:
                line.settings.spatialIndex = true;
                break;
            case kDetectTypes:
                line.settings.columns.detectTypes = true;
                break;
            case kKeepY:
                line.settings.keepY = true;
                break;
            case kProgress:
                line.settings.progress = true;
                break;
            case kProjection:
            case kEncoding:
            case kType:
            case kWidth:
            case kWorkDir:
                refuse(takeValue(code, optarg, line.settings));
                break;
            default:
                refuse(refusal(code, argv));
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
           "\n"
           "  -q, --quiet          print no progress transcript; warnings and\n"
           "                       errors still go to stderr\n"
           "  -v, --verbose        name every warning; without it, of a kind that\n"
           "                       repeats for many objects the first 20 are named\n"
           "                       and the rest counted\n"
           "      --progress       draw the run's progress on stderr, as GDAL's\n"
           "                       tools do (0...10...20 ... 100 - done.)\n"
           "      --prj FILE       copy FILE, the coordinate system of the data,\n"
           "                       beside the shapefile as <output-base>.prj\n"
           "                       (geographic data wants --keep-y as well)\n"
           "      --keep-y         write y as the constraints give it, not negated\n"
           "      --encoding NAME  the code page of the .def text (UTF-8,\n"
           "                       ISO-8859-1, 1252, ...), written to <output-base>.cpg\n"
           "      --detect-types   a column of integers becomes an integer column,\n"
           "                       one of decimal numbers a real column; else text\n"
           "      --type NAME=TYPE\n"
           "                       the column NAME is integer, real or text; a\n"
           "                       value that is not stops the run (repeatable)\n"
           "      --width N|auto   the width of the text columns, 1 to 254 bytes,\n"
           "                       or each its widest value (default 50)\n"
           "      --spatial-index  write a spatial index, <output-base>.qix\n"
           "      --work-dir DIR   put the intermediate files in DIR\n"
           "  -h, --help           show this text and exit\n"
           "      --version        show the version and exit\n";
}

}  // namespace vorn2shp
