// Shared set-up of the fuzz harnesses: every harness runs its stage in a
// private scratch directory (the stages use fixed file names in the working
// directory), and inputs that stand for several files are split at a marker
// line so that seed files stay readable.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp::fuzz {

// Separates the files of one fuzz input, e.g. the constraint text from the .def text.
constexpr std::string_view kFileMarker = "\n=====\n";

inline std::vector<std::string> splitFiles(const std::uint8_t* data, std::size_t size,
                                           std::size_t files) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (parts.size() + 1 < files) {
        const std::size_t marker = all.find(kFileMarker, begin);
        if (marker == std::string_view::npos) {
            break;
        }
        parts.emplace_back(all.substr(begin, marker - begin));
        begin = marker + kFileMarker.size();
    }
    parts.emplace_back(all.substr(begin));
    parts.resize(files);
    return parts;
}

inline void writeWholeFile(const char* path, const std::string& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Writes map.txt, map.def and map.info from one fuzz input.
inline void writeMapFiles(const std::uint8_t* data, std::size_t size) {
    const auto files = splitFiles(data, size, 3);
    writeWholeFile("map.txt", files[0]);
    writeWholeFile("map.def", files[1]);
    writeWholeFile("map.info", files[2]);
}

// Moves the process into a fresh scratch directory, once.
inline void enterScratchDirectory() {
    static const bool entered = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vorn2shp-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
            std::abort();
        }
        return true;
    }();
    (void)entered;
}

}  // namespace vorn2shp::fuzz
