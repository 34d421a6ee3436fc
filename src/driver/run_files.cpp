#include "run_files.h"

#include <sys/stat.h>

#include <string_view>

#include "common/dataset_files.h"
#include "common/diagnostics.h"
#include "common/work_directory.h"
#include "prepare/input_preparer.h"

namespace vorn2shp {

namespace {

struct Written {
    std::string path;
    std::string mayHold;  // an input that this file may be the same as, or ""
};

std::vector<std::string> intermediatePathsOf(const ConversionSettings& settings) {
    const WorkDirectory work(settings.workDirectory);
    std::vector<std::string> paths;
    for (const char* name : intermediate::kAll) {
        paths.push_back(work.pathOf(name));
    }
    return paths;
}

std::vector<Written> writtenPathsOf(const ConversionSettings& settings) {
    std::vector<Written> written;
    for (const std::string& path : intermediatePathsOf(settings)) {
        written.push_back({path, ""});
    }
    // Whether a .cpg is written is known only once the text has been read.
    SideFiles sides;
    sides.codePage = true;
    sides.projection = !settings.projectionPath.empty();
    sides.spatialIndex = settings.spatialIndex;
    const std::string base = datasetBase(settings.outputBase);
    for (const std::string_view part : datasetParts(sides)) {
        const std::string path = base + "." + std::string(part);
        written.push_back({path, part == "prj" ? settings.projectionPath : ""});
    }
    return written;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A link or a stream at an intermediate file's name: the writes would go
// elsewhere, or never end. A directory is left to the open, which names it.
bool isUsableIntermediateName(const std::string& name) {
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0) {
        return true;
    }
    int refusal = 0;
    if (S_ISLNK(status.st_mode)) {
        refusal = kSymbolicLink;
    } else if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode) ||
               S_ISBLK(status.st_mode)) {
        refusal = kNotARegularFile;
    }
    if (refusal != 0) {
        warn("cannot create " + describeFileError(name, refusal) + "; nothing was written");
    }
    return refusal == 0;
}

// Whether `input` is the file at `target`. A link at the target is no
// clash: an output replaces it, and an intermediate file's name never holds one.
bool isWrittenOver(const std::string& input, const struct stat& inputStatus,
                   const Written& target) {
    struct stat status {};
    return lstat(target.path.c_str(), &status) == 0 && !S_ISLNK(status.st_mode) &&
           sameFile(inputStatus, status) && input != target.mayHold;
}

}  // namespace

std::vector<std::string> inputPathsOf(const ConversionSettings& settings) {
    std::vector<std::string> inputs = {settings.inputPath, sideFileName(settings.inputPath, "def"),
                                       sideFileName(settings.inputPath, "info")};
    if (!settings.projectionPath.empty()) {
        inputs.push_back(settings.projectionPath);
    }
    return inputs;
}

bool checkRunFiles(const ConversionSettings& settings) {
    for (const std::string& path : intermediatePathsOf(settings)) {
        if (!isUsableIntermediateName(path)) {
            return false;
        }
    }
    const std::vector<Written> written = writtenPathsOf(settings);
    for (const std::string& input : inputPathsOf(settings)) {
        struct stat inputStatus {};
        if (stat(input.c_str(), &inputStatus) != 0) {
            continue;  // a missing input is reported where it is read
        }
        for (const Written& target : written) {
            if (isWrittenOver(input, inputStatus, target)) {
                warn("cannot use " + input + ": it is the same file as " + target.path +
                     ", which this run writes; nothing was written");
                return false;
            }
        }
    }
    return true;
}

}  // namespace vorn2shp
