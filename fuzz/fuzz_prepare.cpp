// The preparation pass on an arbitrary constraint file, .def and .info.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "prepare/input_preparer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn2shp::fuzz;
    enterScratchDirectory();
    writeMapFiles(data, size);
    vorn2shp::InputPreparer preparer;
    vorn2shp::Console console;
    preparer.prepare("map.txt", "out", console);
    return 0;
}
