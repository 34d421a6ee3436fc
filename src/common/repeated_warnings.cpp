#include "common/repeated_warnings.h"

#include <algorithm>

#include "common/diagnostics.h"

namespace vorn2shp {

void RepeatedWarnings::give(std::string_view kind, std::string_view message) {
    auto found = std::find_if(counts_.begin(), counts_.end(),
                              [kind](const auto& entry) { return entry.first == kind; });
    if (found == counts_.end()) {
        counts_.emplace_back(std::string(kind), 0);
        found = counts_.end() - 1;
    }
    const std::size_t count = ++found->second;
    if (everyOne_ || count <= kNamedOfAKind) {
        warn(message);
    } else if (count == kNamedOfAKind + 1) {
        warn("more " + found->first + " follow, counted at the end (--verbose names every one)");
    }
}

void RepeatedWarnings::summarize() {
    if (everyOne_) {
        return;
    }
    for (const auto& [kind, count] : counts_) {
        if (count > kNamedOfAKind) {
            warn(std::to_string(count) + " " + kind + " in all, the first " +
                 std::to_string(kNamedOfAKind) + " named above");
        }
    }
    counts_.clear();
}

}  // namespace vorn2shp
