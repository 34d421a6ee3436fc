// The scanner and parser on arbitrary first.imd bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "parse/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn2shp::fuzz::enterScratchDirectory();
    vorn2shp::fuzz::writeWholeFile("first.imd",
                                   std::string(reinterpret_cast<const char*>(data), size));
    vorn2shp::Console console;
    vorn2shp::Parser parser;
    if (parser.initialize()) {
        parser.parse(console);
    }
    return 0;
}
