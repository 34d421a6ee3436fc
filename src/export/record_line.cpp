#include "record_line.h"

#include <algorithm>
#include <cstring>

#include "common/coordinate_items.h"

namespace vorn2shp {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The fault of a line whose pairs close no ring: the checks of the run.
LineFault faultOfRun(const PairRun& run) {
    switch (run.end) {
        case PairRun::End::LastItem:
            // A line needs one vertex; after it, a pair left open at the end
            // adds none.
            return run.pairs == 0 ? LineFault::UnclosedPair : LineFault::None;
        case PairRun::End::Unclosed:
            return LineFault::UnclosedPair;
        case PairRun::End::BothClosing:
            return LineFault::ImproperCoordinate;
        case PairRun::End::NoPair:
            break;
    }
    return LineFault::None;
}

void readVertices(RecordLine& record, std::size_t count) {
    record.x.resize(count);
    record.y.resize(count);
    for (std::size_t v = 0; v < count; ++v) {
        record.x[v] = coordinateValue(record.items[2 * v], record.scratch);
        record.y[v] = coordinateValue(record.items[2 * v + 1], record.scratch);
    }
}

}  // namespace

void dropCarriageReturns(std::string& line) {
    // Almost every line has one, the CR of its CR LF line end.
    const auto* found = static_cast<const char*>(std::memchr(line.data(), '\r', line.size()));
    if (found == nullptr) {
        return;
    }
    if (found == &line.back()) {
        line.pop_back();
        return;
    }
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
}

bool readLine(LineReader& file, std::string& line) {
    line.clear();
    if (!file.readLine(line)) {
        return false;
    }
    dropCarriageReturns(line);
    return true;
}

std::string_view withoutTerminator(std::string_view value) {
    std::size_t end = value.size();
    while (end > 0 && isBlank(value[end - 1])) {
        --end;
    }
    if (end > 0 && (value[end - 1] == '.' || value[end - 1] == ';')) {
        return value.substr(0, end - 1);
    }
    return value;
}

LineFault parseRecordLine(std::string_view line, RecordLine& record) {
    record.vertexCount = 0;
    record.values.clear();
    splitItems(line, record.items);
    const std::vector<std::string_view>& items = record.items;
    const std::string_view first = items.empty() ? std::string_view() : items.front();
    if (first.find('(') == std::string_view::npos) {
        return LineFault::NoCoordinates;
    }
    if (first.find(')') != std::string_view::npos) {
        return LineFault::ImproperCoordinate;
    }
    // The first item must open a pair, whatever its number looks like; later
    // pairs are recognised by their form, which holds no ')'.
    const PairRun run = readPairRun(items, true, record.scratch);
    readVertices(record, run.pairs);
    // Where rings close, whatever follows the last of them is text, however
    // it breaks off; a line of pairs that close none is taken as a run.
    const ClosedRings rings = closedRings(record.x.data(), record.y.data(), run.pairs);
    if (rings.rings == 0) {
        if (const LineFault fault = faultOfRun(run); fault != LineFault::None) {
            return fault;
        }
    }
    record.vertexCount = rings.rings > 0 ? rings.vertices : run.pairs;
    record.x.resize(record.vertexCount);
    record.y.resize(record.vertexCount);
    record.values.assign(items.begin() + static_cast<std::ptrdiff_t>(2 * record.vertexCount),
                         items.end());
    if (!record.values.empty()) {
        record.values.back() = withoutTerminator(record.values.back());
    }
    return LineFault::None;
}

void keepOnlyValues(std::string& text, std::vector<std::string_view>& values) {
    if (values.empty()) {
        std::string().swap(text);
        return;
    }
    const auto start = static_cast<std::size_t>(values.front().data() - text.data());
    const auto end =
        static_cast<std::size_t>(values.back().data() + values.back().size() - text.data());
    std::vector<std::size_t> offsets;
    offsets.reserve(values.size());
    for (const std::string_view value : values) {
        offsets.push_back(static_cast<std::size_t>(value.data() - text.data()) - start);
    }
    std::string(text, start, end - start).swap(text);
    for (std::size_t v = 0; v < values.size(); ++v) {
        values[v] = std::string_view(text.data() + offsets[v], values[v].size());
    }
}

}  // namespace vorn2shp
