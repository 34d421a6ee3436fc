// Times the naming of a table's columns for long field lists, where most
// names clash in their first ten bytes and need a suffix: the cost must grow
// in proportion to the number of names.
//
//   time_column_names [names]   default 100000 and 1000000
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "export/field_name_list.h"

namespace {

double secondsToName(std::size_t count) {
    // Names that all agree in their first ten bytes, so that every one but
    // the first needs a suffix: the same work for each name at any count.
    std::vector<std::string> declared;
    for (std::size_t i = 0; i < count; ++i) {
        declared.push_back("population_" + std::to_string(i));
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> names = vorn2shp::columnNames(declared, count, false);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (names.size() != count) {
        std::fprintf(stderr, "time_column_names: %zu names for %zu columns\n", names.size(), count);
        std::exit(1);
    }
    return took.count();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> counts = {100'000, 1'000'000};
    if (argc > 1) {
        counts = {std::strtoul(argv[1], nullptr, 10)};
    }
    double previous = 0.0;
    for (const std::size_t count : counts) {
        const double seconds = secondsToName(count);
        std::printf("column names: %zu in %.3f s", count, seconds);
        if (previous > 0.0) {
            std::printf(", ratio %.1f to the tenth (10 is linear)", seconds / previous);
        }
        std::printf("\n");
        previous = seconds;
    }
    return 0;
}
