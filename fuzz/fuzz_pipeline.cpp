// The whole conversion on an arbitrary constraint file, .def and .info.
#include <cstddef>
#include <cstdint>

#include "driver/pipeline.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn2shp::fuzz;
    enterScratchDirectory();
    const auto files = splitFiles(data, size, 3);
    writeWholeFile("map.txt", files[0]);
    writeWholeFile("map.def", files[1]);
    writeWholeFile("map.info", files[2]);
    vorn2shp::runConversion("map.txt", "out");
    return 0;
}
