#include "stale_side_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/diagnostics.h"
#include "export/shape_exporter.h"

namespace vorn2shp {

namespace fs = std::filesystem;

namespace {

// Readers look for these in lower or upper case; other tools ignore case.
constexpr const char* kSideExtensions[] = {".qix", ".sbn", ".sbx", ".prj", ".shp.xml", ".cpg"};

char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char upperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isSideExtension(std::string_view text) {
    return std::any_of(std::begin(kSideExtensions), std::end(kSideExtensions),
                       [text](std::string_view extension) {
                           return text.size() == extension.size() &&
                                  std::equal(text.begin(), text.end(), extension.begin(),
                                             [](char a, char b) { return lowerCase(a) == b; });
                       });
}

// Where the last path component of `base` begins.
std::size_t componentStart(const std::string& base) {
    const std::size_t slash = base.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

// The side files found by listing the directory, in any letter case. False
// when the directory cannot be listed.
bool listSideFiles(const std::string& base, std::vector<std::string>& found) {
    const std::string directory = base.substr(0, componentStart(base));
    const std::string stem = base.substr(directory.size());
    std::error_code error;
    fs::directory_iterator entry(directory.empty() ? "." : directory, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.compare(0, stem.size(), stem) == 0 &&
            isSideExtension(std::string_view(name).substr(stem.size()))) {
            found.push_back(directory + name);
        }
    }
    return !error;
}

// Where a directory cannot be listed, the names that readers try.
void probeSideFiles(const std::string& base, std::vector<std::string>& found) {
    for (const std::string_view extension : kSideExtensions) {
        std::string upper(extension);
        std::transform(upper.begin(), upper.end(), upper.begin(), upperCase);
        for (const std::string& variant : {std::string(extension), upper}) {
            std::error_code error;
            if (fs::exists(fs::symlink_status(base + variant, error))) {
                found.push_back(base + variant);
            }
        }
    }
}

bool isInput(const std::string& path, const std::vector<std::string>& inputs) {
    return std::any_of(inputs.begin(), inputs.end(), [&path](const std::string& input) {
        std::error_code error;
        return fs::equivalent(path, input, error);
    });
}

}  // namespace

// shapelib cuts at the last '.' of the last component, but never at the
// path's first character.
std::string datasetBase(const std::string& outputBase) {
    const std::size_t dot = outputBase.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot < componentStart(outputBase)) {
        return outputBase;
    }
    return outputBase.substr(0, dot);
}

std::vector<std::string> staleSideFiles(const std::string& outputBase,
                                        const std::vector<std::string>& written) {
    const std::string base = datasetBase(outputBase);
    std::vector<std::string> found;
    if (!listSideFiles(base, found)) {
        found.clear();
        probeSideFiles(base, found);
    }
    const auto keeps = [&written](const std::string& path) {
        return isDirectory(path) ||
               std::find(written.begin(), written.end(), path) != written.end();
    };
    found.erase(std::remove_if(found.begin(), found.end(), keeps), found.end());
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> removableSideFiles(const std::vector<std::string>& paths,
                                            const std::vector<std::string>& inputs) {
    std::vector<std::string> removable;
    for (const std::string& path : paths) {
        if (isInput(path, inputs)) {
            warn(path +
                 " is left in place: it is an input of this run, though readers "
                 "take it for part of the new dataset");
        } else {
            removable.push_back(path);
        }
    }
    return removable;
}

void reportRemovedSideFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        warn("removed " + path + ", left by an earlier dataset at this output base");
    }
}

}  // namespace vorn2shp
