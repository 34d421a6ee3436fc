#include "eff_validation.h"

#include <algorithm>
#include <cstring>

#include "table_text.h"

namespace vorn2shp {

namespace {

const char* faultMessage(LineFault fault) {
    switch (fault) {
        case LineFault::NoCoordinates:
            return "No coordinate information found";
        case LineFault::ImproperCoordinate:
            return "Improper coordinate formatting";
        case LineFault::UnclosedPair:
            return "No closing right parenthesis";
        case LineFault::None:
            break;
    }
    return "";
}

void noteValues(const RecordLine& record, std::size_t lineNumber, EffSummary& summary) {
    ++summary.recordCount;
    if (record.values.size() > summary.largestValueCount || summary.largestValueLine == 0) {
        summary.largestValueCount = record.values.size();
        summary.largestValueLine = lineNumber;
    }
    if (summary.valuesAreUtf8) {
        summary.valuesAreUtf8 =
            std::all_of(record.values.begin(), record.values.end(),
                        [](std::string_view value) { return isValidUtf8(value); });
    }
}

}  // namespace

void removeChars(std::string_view text, std::string_view set, std::string& out) {
    out.resize(text.size());
    char* kept = out.data();
    for (const char c : text) {
        // The sets hold a few characters; a call per character would cost
        // more than the comparisons.
        bool remove = false;
        for (const char unwanted : set) {
            remove = remove || c == unwanted;
        }
        *kept = c;
        kept += remove ? 0 : 1;
    }
    out.resize(static_cast<std::size_t>(kept - out.data()));
}

void clearBuffer(std::string& buffer) { buffer.clear(); }

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
    clearBuffer(line);
    if (!file.readLine(line)) {
        return false;
    }
    dropCarriageReturns(line);
    return true;
}

bool checkEffLine(std::string_view line, RecordLine& record, Console& console) {
    const LineFault fault = parseRecordLine(line, record);
    if (fault != LineFault::None) {
        console.failureText(faultMessage(fault));
        return false;
    }
    return true;
}

bool validateEffFile(LineReader& file, EffSummary& summary, Console& console) {
    summary = EffSummary{};
    if (!file.rewind()) {
        return false;
    }
    std::string line;
    RecordLine record;
    std::size_t lineNumber = 0;
    while (file.readLine(line)) {
        ++lineNumber;
        // A line that holds only a carriage return is not empty: it is
        // checked, and fails.
        if (line.empty()) {
            continue;
        }
        dropCarriageReturns(line);
        if (!checkEffLine(line, record, console)) {
            console.failureText(": line " + std::to_string(lineNumber) + ". ");
            return false;
        }
        noteValues(record, lineNumber, summary);
        clearBuffer(line);
    }
    return file.error() == 0 && file.rewind();
}

}  // namespace vorn2shp
