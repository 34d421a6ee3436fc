// Warnings that may come once for every object or tuple of a map.
//
// A map written to a few decimals, or made by a tool with a habit, can give
// the same warning for tens of thousands of objects, and the one warning
// that matters is lost among them. Of each kind, the first few name what
// they are about; then one line says that more of that kind follow, and at
// the end of the run each such kind's total is given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn2shp {

class RepeatedWarnings {
public:
    static constexpr std::size_t kNamedOfAKind = 20;

    // `everyOne`: name every warning (the --verbose of the command line).
    explicit RepeatedWarnings(bool everyOne = false) : everyOne_(everyOne) {}

    // Gives `message` as a warning of `kind`, a plural noun phrase that says
    // what the warnings are about ("objects whose triangles overlap"), or
    // counts it once enough of its kind have been named.
    void give(std::string_view kind, std::string_view message);

    // One line for each kind of which some were only counted, in the order
    // the kinds first came. Once, at the end of the run.
    void summarize();

private:
    bool everyOne_;
    std::vector<std::pair<std::string, std::size_t>> counts_;  // a handful of kinds
};

}  // namespace vorn2shp
