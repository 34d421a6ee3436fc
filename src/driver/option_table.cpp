#include "option_table.h"

#include <algorithm>
#include <string>

#include "common/column_choices.h"

namespace vorn2shp {

namespace {

using Kind = CommandLineOption::Kind;

// An option without a value that turns `Flag` on.
template <bool ConversionSettings::*Flag>
std::string turnOn(std::string_view, ConversionSettings& settings) {
    settings.*Flag = true;
    return {};
}

std::string detectTypes(std::string_view, ConversionSettings& settings) {
    settings.columns.detectTypes = true;
    return {};
}

// A code page name as a .cpg holds it: printable ASCII, no blank at either end.
bool isCodePageName(std::string_view name) {
    return !name.empty() && name.front() != ' ' && name.back() != ' ' &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

std::string takeProjection(std::string_view given, ConversionSettings& settings) {
    if (given.empty()) {
        return "option '--prj' needs the name of a .prj file";
    }
    settings.projectionPath = given;
    return {};
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

std::string takeWorkDirectory(std::string_view given, ConversionSettings& settings) {
    if (given.empty()) {
        return "option '--work-dir' needs the name of a directory";
    }
    settings.workDirectory = given;
    return {};
}

// The usage's help of each option begins in this column (counted from 0),
// below the option where it would come closer than two blanks.
constexpr std::size_t kHelpColumn = 23;

std::string optionLine(const CommandLineOption& option) {
    std::string line = "  ";
    line += option.letter != 0 ? std::string{'-', option.letter, ',', ' '} : std::string(4, ' ');
    line += std::string("--") + option.name;
    if (option.value != nullptr) {
        line += std::string(" ") + option.value;
    }
    line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                           : "\n" + std::string(kHelpColumn, ' ');
    return line;
}

}  // namespace

const std::vector<CommandLineOption>& commandLineOptions() {
    static const std::vector<CommandLineOption> options = {
        {"quiet", 'q', nullptr,
         "print no progress transcript; warnings and\n"
         "errors still go to stderr",
         Kind::Setting, turnOn<&ConversionSettings::quiet>},
        {"verbose", 'v', nullptr,
         "name every warning; without it, of a kind that\n"
         "repeats for many objects the first 20 are named\n"
         "and the rest counted",
         Kind::Setting, turnOn<&ConversionSettings::verbose>},
        {"progress", 0, nullptr,
         "draw the run's progress on stderr, as GDAL's\n"
         "tools do (0...10...20 ... 100 - done.)",
         Kind::Setting, turnOn<&ConversionSettings::progress>},
        {"prj", 0, "FILE",
         "copy FILE, the coordinate system of the data,\n"
         "beside the shapefile as <output-base>.prj\n"
         "(geographic data wants --keep-y as well)",
         Kind::Setting, takeProjection},
        {"keep-y", 0, nullptr, "write y as the constraints give it, not negated", Kind::Setting,
         turnOn<&ConversionSettings::keepY>},
        {"encoding", 0, "NAME",
         "the code page of the .def text (UTF-8,\n"
         "ISO-8859-1, 1252, ...), written to <output-base>.cpg",
         Kind::Setting, takeCodePage},
        {"detect-types", 0, nullptr,
         "a column of integers becomes an integer column,\n"
         "one of decimal numbers a real column; else text",
         Kind::Setting, detectTypes},
        {"type", 0, "NAME=TYPE",
         "the column NAME is integer, real or text; a\n"
         "value that is not stops the run (repeatable)",
         Kind::Setting, takeColumnType},
        {"width", 0, "N|auto",
         "the width of the text columns, 1 to 254 bytes,\n"
         "or each its widest value (default 50)",
         Kind::Setting, takeTextWidth},
        {"spatial-index", 0, nullptr, "write a spatial index, <output-base>.qix", Kind::Setting,
         turnOn<&ConversionSettings::spatialIndex>},
        {"work-dir", 0, "DIR", "put the intermediate files in DIR", Kind::Setting,
         takeWorkDirectory},
        {"help", 'h', nullptr, "show this text and exit", Kind::Help, nullptr},
        {"version", 0, nullptr, "show the version and exit", Kind::Version, nullptr},
    };
    return options;
}

std::string optionLines() {
    std::string lines;
    for (const CommandLineOption& option : commandLineOptions()) {
        lines += optionLine(option);
        std::string_view help = option.help;
        for (std::size_t end = help.find('\n'); end != std::string_view::npos;
             end = help.find('\n')) {
            lines.append(help.substr(0, end + 1));
            lines.append(kHelpColumn, ' ');
            help.remove_prefix(end + 1);
        }
        lines.append(help);
        lines.push_back('\n');
    }
    return lines;
}

}  // namespace vorn2shp
