// vorn2shp: converts a VORN constraint relation of triangles into an ESRI
// shapefile. See usageText() for the command line.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline.h"

namespace {

std::string usageText() {
    return "usage: vorn2shp <constraint-file> <output-base>\n"
           "\n"
           "Converts the VORN constraint relation in <constraint-file> (with its\n"
           "side files <base>.def and <base>.info) into <output-base>.shp, .shx\n"
           "and .dbf. Intermediate files are left in the current directory.\n"
           "\n"
           "  -h, --help     show this text and exit\n"
           "      --version  show the version and exit\n";
}

void print(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
    using vorn2shp::ExitStatus;
    const std::vector<std::string_view> args(argv + 1, argv + argc);

    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        print(stdout, usageText());
        return static_cast<int>(ExitStatus::Ok);
    }
    if (args.size() == 1 && args[0] == "--version") {
        print(stdout, std::string("vorn2shp ") + VORN2SHP_VERSION + "\n");
        return static_cast<int>(ExitStatus::Ok);
    }
    if (args.size() < 2) {
        print(stderr, usageText());
        return static_cast<int>(ExitStatus::Usage);
    }
    // Arguments after the second are ignored.
    const ExitStatus status =
        vorn2shp::runConversion(std::string(args[0]), std::string(args[1]));
    return static_cast<int>(status);
}
