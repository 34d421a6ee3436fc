// The export stage (validation, shape type, writing) on arbitrary
// output.eff.imd and DBF$$$.fld.
#include <cstddef>
#include <cstdint>

#include "export/shape_exporter.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn2shp::fuzz;
    enterScratchDirectory();
    const auto files = splitFiles(data, size, 2);
    writeWholeFile("output.eff.imd", files[0]);
    writeWholeFile("DBF$$$.fld", files[1]);
    // The options follow the input's length, so the corpus runs through all
    // pairings of a spatial index, a single-byte code page, columns chosen
    // by their values (detected types, each text column its widest value)
    // and y as the constraints give it.
    vorn2shp::ExportOptions options;
    options.spatialIndex = size % 2 == 1;
    options.codePage = size % 4 >= 2 ? "ISO-8859-1" : "";
    options.columns.detectTypes = size % 8 >= 4;
    options.columns.textWidth = size % 16 >= 8 ? 0 : vorn2shp::kDefaultTextWidth;
    options.keepY = size % 32 >= 16;
    vorn2shp::Console console;
    vorn2shp::StagingRegistry staging;
    vorn2shp::exportShapefile("output.eff.imd", "out", options, console, staging);
    return 0;
}
