// What the end-to-end tests of stopped, killed and meeting runs look at: the
// files in a directory, the dataset at the output base `out` among them, the
// staging directory a run left, and a map large enough that a run takes a
// while.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "support/test_support.h"

namespace vorn2shp::testing {

using Files = std::map<std::string, std::string>;

constexpr const char* kStagingPrefix = ".vorn2shp-staging-";

// Every entry of `dir`, hidden ones included, but the lock file that every
// run leaves; a directory reads "(directory)".
inline Files filesIn(const std::string& dir) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != ".vorn2shp-lock") {
            files[name] = entry.is_regular_file() ? readFile(entry.path().string()) : "(directory)";
        }
    }
    return files;
}

// The entries named out.*, the dataset at the output base.
inline Files datasetIn(const Files& files) {
    Files dataset;
    for (const auto& [name, bytes] : files) {
        if (name.rfind("out.", 0) == 0) {
            dataset[name] = bytes;
        }
    }
    return dataset;
}

inline std::string stagingDirectoryIn(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind(kStagingPrefix, 0) == 0) {
            return entry.path().string();
        }
    }
    return {};
}

// The two triangles of the unit square at (x0, y0), as tuples of object `id`.
inline std::string unitSquare(int id, int x0, int y0) {
    const std::string head = "m(id, x, y) :- id = " + std::to_string(id) + ", ";
    return head + "0x - 1y <= " + std::to_string(-y0) + ", 1x + 0y <= " + std::to_string(x0 + 1) +
           ", -1x + 1y <= " + std::to_string(y0 - x0) + ".\n" + head +
           "0x + 1y <= " + std::to_string(y0 + 1) + ", -1x + 0y <= " + std::to_string(-x0) +
           ", 1x - 1y <= " + std::to_string(x0 - y0) + ".\n";
}

// map.txt, .def, .info and .prj in `dir`: eight tuples an object, object k
// a square of 2 x 2 unit squares, the objects laid out in rows of 200 with
// a gap between them.
inline void writeSquaresMap(const std::string& dir, int objects) {
    std::string text;
    std::string def;
    for (int k = 0; k < objects; ++k) {
        for (int cell = 0; cell < 4; ++cell) {
            text += unitSquare(k, 3 * (k % 200) + cell % 2, 3 * (k / 200) + cell / 2);
        }
        def += "cell " + std::to_string(k) + ",grid\n";
    }
    writeFile(dir + "/map.txt", text);
    writeFile(dir + "/map.def", def);
    writeFile(dir + "/map.info", "map\nMap(name, kind).\n");
    writeFile(dir + "/map.prj", "GEOGCS[\"GCS_WGS_1984\"]");
}

}  // namespace vorn2shp::testing
