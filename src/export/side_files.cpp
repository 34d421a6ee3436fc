#include "side_files.h"

#include <shapefil.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "common/diagnostics.h"
#include "common/staging.h"
#include "common/text_file.h"
#include "write_monitor.h"

namespace vorn2shp {

namespace {

using ShapefilePtr = std::unique_ptr<SHPInfo, decltype(&SHPClose)>;
using TreePtr = std::unique_ptr<SHPTree, decltype(&SHPDestroyTree)>;

// "UTF-8", "utf8", "UTF_8", ... all name UTF-8.
bool namesUtf8(std::string_view codePage) {
    std::string letters;
    for (const char c : codePage) {
        if (c != '-' && c != '_') {
            letters.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return letters == "UTF8";
}

// The bytes that SHPWriteTree writes for `tree`: a header of 16 bytes, then
// for every node its offset, bounds, shape count and sub-node count (44
// bytes) and 4 bytes per shape id.
std::uintmax_t indexFileSize(const SHPTree& tree) {
    std::uintmax_t size = 16;
    std::vector<const SHPTreeNode*> pending{tree.psRoot};
    while (!pending.empty()) {
        const SHPTreeNode* node = pending.back();
        pending.pop_back();
        if (node == nullptr) {
            continue;
        }
        size += 44 + 4 * static_cast<std::uintmax_t>(node->nShapeCount);
        pending.insert(pending.end(), node->apsSubNode, node->apsSubNode + node->nSubNodes);
    }
    return size;
}

// shapelib ignores the results of the writes of the index, so a short file
// is the only sign that one failed.
bool indexIsWhole(const std::string& indexPath, const SHPTree& tree) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(indexPath, error);
    return !error && size == indexFileSize(tree);
}

}  // namespace

TableEncoding chooseTableEncoding(const std::string& requested, bool textIsUtf8,
                                  const std::string& tablePath) {
    if (requested.empty()) {
        if (!textIsUtf8) {
            warn(tablePath +
                 ": the attribute text is not UTF-8, so no .cpg was written and readers must "
                 "guess its code page; name it with --encoding (for example --encoding "
                 "ISO-8859-1)");
            return {false, ""};
        }
        return {true, "UTF-8"};
    }
    if (!namesUtf8(requested)) {
        return {false, requested};
    }
    if (!textIsUtf8) {
        warn(tablePath + ": the attribute text is not valid UTF-8, though --encoding says it is");
    }
    return {true, "UTF-8"};
}

std::string besidePath(const std::string& shapesPath, std::string_view extension) {
    std::string path = shapesPath.substr(0, shapesPath.size() - 3);
    path.append(extension);
    return path;
}

bool writeSideFile(const std::string& path, std::string_view bytes) {
    OutputFile file;
    if (file.open(path)) {
        file.write(bytes);
        if (file.close()) {
            return true;
        }
    }
    warn(describeFileError(committedPathOf(path), file.error()));
    return false;
}

bool writeSpatialIndex(const std::string& shapesPath) {
    const std::string indexPath = besidePath(shapesPath, "qix");
    const std::string shownIndexPath = committedPathOf(indexPath);
    WriteMonitor monitor;
    const ShapefilePtr shp(SHPOpenLL(shapesPath.c_str(), "rb", monitor.hooks()), &SHPClose);
    if (!shp) {
        warn(shownIndexPath + ": no spatial index was written: " + committedPathOf(shapesPath) +
             " could not be read back");
        return false;
    }
    monitor.watch(shp->fpSHP);
    monitor.watch(shp->fpSHX);
    const TreePtr tree(SHPCreateTree(shp.get(), 2, 0, nullptr, nullptr), &SHPDestroyTree);
    if (monitor.failed()) {
        warn(monitor.failure());
        return false;
    }
    if (!tree) {
        warn(shownIndexPath + ": no spatial index was written: the tree could not be built");
        return false;
    }
    SHPTreeTrimExtraNodes(tree.get());
    // A file that cannot be created has been reported by the monitor's hooks.
    if (!SHPWriteTreeLL(tree.get(), indexPath.c_str(), monitor.hooks())) {
        return false;
    }
    // The partial index goes with the rest of the staged files.
    if (!indexIsWhole(indexPath, *tree)) {
        warn(shownIndexPath + ": the spatial index could not be written whole and was removed");
        return false;
    }
    return true;
}

}  // namespace vorn2shp
