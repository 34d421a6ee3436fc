// The whole conversion on an arbitrary constraint file, .def and .info.
#include <cstddef>
#include <cstdint>

#include "driver/pipeline.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn2shp::fuzz;
    enterScratchDirectory();
    writeMapFiles(data, size);
    vorn2shp::ConversionSettings settings;
    settings.inputPath = "map.txt";
    settings.outputBase = "out";
    // Half the inputs, by their length, run quiet.
    settings.quiet = size % 2 == 1;
    vorn2shp::StagingRegistry staging;
    vorn2shp::runConversion(settings, staging);
    return 0;
}
