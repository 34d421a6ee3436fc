#include "stale_side_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/characters.h"
#include "common/dataset_files.h"
#include "common/diagnostics.h"

namespace vorn2shp {

namespace fs = std::filesystem;

namespace {

// Readers look for side files in lower or upper case; other tools ignore
// case.
struct SideFileKind {
    const std::string_view* first;
    const std::string_view* last;
    bool columnIndexes;  // also <base>.<column>.atx, an attribute index of one column

    const std::string_view* begin() const { return first; }
    const std::string_view* end() const { return last; }
};

// Derived from the data: stale once the data is replaced.
constexpr std::string_view kDerivedExtensions[] = {".qix", ".sbn", ".sbx", ".fbn", ".fbx", ".atx",
                                                   ".ain", ".aih", ".ixs", ".mxs", ".cpg"};
constexpr SideFileKind kDerived{std::begin(kDerivedExtensions), std::end(kDerivedExtensions), true};
// Describing the data: kept.
constexpr std::string_view kDescriptionExtensions[] = {".prj", ".shp.xml"};
constexpr SideFileKind kDescriptions{std::begin(kDescriptionExtensions),
                                     std::end(kDescriptionExtensions), false};
constexpr std::string_view kColumnIndexExtension = ".atx";

char upperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameLetters(std::string_view text, std::string_view extension) {
    return text.size() == extension.size() &&
           std::equal(text.begin(), text.end(), extension.begin(),
                      [](char a, char b) { return lowerCase(a) == b; });
}

// ".name.atx": a column name without a dot between the base and ".atx".
bool isColumnIndex(std::string_view rest) {
    const std::size_t size = kColumnIndexExtension.size();
    return rest.size() > size + 1 && rest.front() == '.' &&
           sameLetters(rest.substr(rest.size() - size), kColumnIndexExtension) &&
           rest.substr(1, rest.size() - size - 1).find('.') == std::string_view::npos;
}

// Whether `rest`, what follows the base in a file name, names a side file
// of `kind`.
bool isSideExtension(std::string_view rest, const SideFileKind& kind) {
    return std::any_of(
               kind.begin(), kind.end(),
               [rest](std::string_view extension) { return sameLetters(rest, extension); }) ||
           (kind.columnIndexes && isColumnIndex(rest));
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
bool listSideFiles(const std::string& base, const SideFileKind& kind,
                   std::vector<std::string>& found) {
    const std::string directory = base.substr(0, componentStart(base));
    const std::string stem = base.substr(directory.size());
    std::error_code error;
    fs::directory_iterator entry(directory.empty() ? "." : directory, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.compare(0, stem.size(), stem) == 0 &&
            isSideExtension(std::string_view(name).substr(stem.size()), kind)) {
            found.push_back(directory + name);
        }
    }
    return !error;
}

// Where a directory cannot be listed, the names that readers try.
void probeSideFiles(const std::string& base, const SideFileKind& kind,
                    std::vector<std::string>& found) {
    for (const std::string_view extension : kind) {
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

// The side files of `kind` at the dataset base of `outputBase`, sorted,
// without directories and without the files `written`.
std::vector<std::string> sideFiles(const std::string& outputBase, const SideFileKind& kind,
                                   const std::vector<std::string>& written) {
    const std::string base = datasetBase(outputBase);
    std::vector<std::string> found;
    if (!listSideFiles(base, kind, found)) {
        found.clear();
        probeSideFiles(base, kind, found);
    }
    const auto keeps = [&written](const std::string& path) {
        return isDirectory(path) ||
               std::find(written.begin(), written.end(), path) != written.end();
    };
    found.erase(std::remove_if(found.begin(), found.end(), keeps), found.end());
    std::sort(found.begin(), found.end());
    return found;
}

// Whether the run replaces a shapefile, whose side files those found are.
bool holdsShapefile(const std::string& outputBase) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(datasetBase(outputBase) + ".shp", error);
    return fs::exists(status) && !fs::is_directory(status);
}

bool isInput(const std::string& path, const std::vector<std::string>& inputs) {
    return std::any_of(inputs.begin(), inputs.end(), [&path](const std::string& input) {
        std::error_code error;
        return fs::equivalent(path, input, error);
    });
}

}  // namespace

std::vector<std::string> staleSideFiles(const std::string& outputBase,
                                        const std::vector<std::string>& written) {
    if (!holdsShapefile(outputBase)) {
        return {};
    }
    return sideFiles(outputBase, kDerived, written);
}

std::vector<std::string> keptDescriptions(const std::string& outputBase,
                                          const std::vector<std::string>& written) {
    return sideFiles(outputBase, kDescriptions, written);
}

std::vector<std::string> exceptInputs(const std::vector<std::string>& paths,
                                      const std::vector<std::string>& inputs) {
    std::vector<std::string> others;
    for (const std::string& path : paths) {
        if (isInput(path, inputs)) {
            warn(path +
                 " is left in place: it is an input of this run, though readers "
                 "take it for part of the new dataset");
        } else {
            others.push_back(path);
        }
    }
    return others;
}

void reportRemovedSideFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        warn("removed " + path + ", left by an earlier dataset at this output base");
    }
}

void reportKeptDescriptions(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        warn("kept " + path +
             " beside the new shapefile: a projection or metadata file is never removed, "
             "and this run did not write it");
    }
}

}  // namespace vorn2shp
