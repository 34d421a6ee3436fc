#include "common/attribute_lines.h"

#include <algorithm>

namespace vorn2shp {

void AttributeLines::add(std::size_t line) {
    const std::size_t record = ++records_;
    if (!runs_.empty()) {
        const Run& last = runs_.back();
        const std::size_t expected =
            last.firstLine == 0 ? 0 : last.firstLine + (record - last.firstRecord);
        if (line == expected) {
            return;
        }
    }
    runs_.push_back(Run{record, line});
}

std::size_t AttributeLines::lineOf(std::size_t recordLine) const {
    if (recordLine == 0 || recordLine > records_) {
        return 0;
    }
    const auto after = std::upper_bound(
        runs_.begin(), runs_.end(), recordLine,
        [](std::size_t record, const Run& run) { return record < run.firstRecord; });
    const Run& run = *(after - 1);
    return run.firstLine == 0 ? 0 : run.firstLine + (recordLine - run.firstRecord);
}

}  // namespace vorn2shp
