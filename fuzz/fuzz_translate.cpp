// The translator on arbitrary second.imd and def.imd.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "translate/translator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn2shp::fuzz;
    enterScratchDirectory();
    const auto files = splitFiles(data, size, 2);
    writeWholeFile("second.imd", files[0]);
    writeWholeFile("def.imd", files[1]);
    vorn2shp::Translator translator;
    vorn2shp::Console console;
    translator.translate(console);
    return 0;
}
