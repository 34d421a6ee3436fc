#include "eff_validation.h"

#include <algorithm>

#include "common/utf8_text.h"
#include "record_pipeline.h"

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

// What the summary needs of a line.
struct CheckedLine {
    LineFault fault = LineFault::None;
    std::size_t valueCount = 0;
    std::size_t vertexCount = 0;
    bool valuesAreUtf8 = true;
    std::vector<ValueForm> forms;  // of each value, when the values are surveyed
};

void checkLine(NumberedLine& line, CheckedLine& checked, RecordLine& record, bool surveyValues) {
    // A line that holds only a carriage return is not empty: it is checked,
    // and fails.
    dropCarriageReturns(line.text);
    checked.fault = parseRecordLine(line.text, record);
    checked.valueCount = record.values.size();
    checked.vertexCount = record.vertexCount;
    checked.valuesAreUtf8 = std::all_of(record.values.begin(), record.values.end(),
                                        [](std::string_view value) { return isValidUtf8(value); });
    if (surveyValues && checked.fault == LineFault::None) {
        checked.forms.resize(record.values.size());
        std::transform(record.values.begin(), record.values.end(), checked.forms.begin(), formOf);
    }
    if (line.text.size() > kLongLine) {
        std::string().swap(line.text);
    }
}

void noteValues(const CheckedLine& checked, std::size_t lineNumber, std::size_t declaredNames,
                EffSummary& summary) {
    ++summary.recordCount;
    summary.vertexCount += checked.vertexCount;
    if (summary.columns.size() < checked.forms.size()) {
        summary.columns.resize(checked.forms.size());
    }
    for (std::size_t q = 0; q < checked.forms.size(); ++q) {
        summary.columns[q].add(checked.forms[q], lineNumber);
    }
    if (checked.valueCount > summary.largestValueCount || summary.largestValueLine == 0) {
        summary.largestValueCount = checked.valueCount;
        summary.largestValueLine = lineNumber;
    }
    summary.valuesAreUtf8 = summary.valuesAreUtf8 && checked.valuesAreUtf8;
    // Without any declared name every column is a generated one; that has
    // been told where the names were looked for.
    if (declaredNames > 0 && checked.valueCount > declaredNames &&
        summary.linesBeyondNames++ == 0) {
        summary.firstLineBeyondNames = lineNumber;
        summary.valuesOnFirstLineBeyond = checked.valueCount;
    }
}

}  // namespace

EffCheck validateEffFile(LineReader& file, std::size_t declaredNames, EffSummary& summary,
                         Console& console, bool surveyValues) {
    summary = EffSummary{};
    if (!file.rewind()) {
        return EffCheck::Unreadable;
    }
    const auto commit = [&](const NumberedLine& line, const CheckedLine& checked) {
        if (checked.fault != LineFault::None) {
            console.failureText(faultMessage(checked.fault));
            console.failureText(": line " + std::to_string(line.number) + ". ");
            return false;
        }
        noteValues(checked, line.number, declaredNames, summary);
        return true;
    };
    const auto check = [surveyValues](NumberedLine& line, CheckedLine& checked,
                                      RecordLine& record) {
        checkLine(line, checked, record, surveyValues);
    };
    switch (runRecordPipeline<CheckedLine, RecordLine>(file, check, commit)) {
        case PipelineEnd::Stopped:
            return EffCheck::Rejected;
        case PipelineEnd::ReadFailed:
            return EffCheck::Unreadable;
        case PipelineEnd::Finished:
            break;
    }
    return file.rewind() ? EffCheck::Passed : EffCheck::Unreadable;
}

}  // namespace vorn2shp
