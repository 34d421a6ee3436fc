#include "column_layout.h"

#include <algorithm>

#include "common/diagnostics.h"
#include "common/printable_text.h"
#include "field_name_list.h"
#include "record_line.h"

namespace vorn2shp {

namespace {

// GDAL reads a number column without decimals as a 64-bit integer up to
// 18 digits; a wider one it reads as a floating-point number, which no
// longer holds every digit of such an integer.
constexpr std::size_t kIntegerDigits = 18;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view withoutBlanks(std::string_view value) {
    while (!value.empty() && isBlank(value.front())) {
        value.remove_prefix(1);
    }
    while (!value.empty() && isBlank(value.back())) {
        value.remove_suffix(1);
    }
    return value;
}

std::size_t digitsAt(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - from;
}

// The width of a real column for numbers of `lead` and `decimals`: it
// always has a decimal, so that readers take it for a real one.
std::size_t realWidth(std::size_t lead, std::size_t decimals) {
    return std::max<std::size_t>(lead, 1) + 1 + std::max<std::size_t>(decimals, 1);
}

bool fitsInteger(const ValueForm& form) {
    return form.kind == ValueForm::Kind::Number && form.decimals == 0 &&
           form.lead <= kIntegerDigits;
}

bool fitsReal(const ValueForm& form) {
    return form.kind == ValueForm::Kind::Number &&
           realWidth(form.lead, form.decimals) <= kMaxTextWidth;
}

// The type that --type gives column `q`, by the name the .info declares
// for it or the name the table gives it (letter case ignored, as dBASE
// compares names); the last one given wins. Whether any does.
bool declaredType(const ColumnChoices& choices, const std::vector<std::string>& names,
                  const std::vector<std::string>& declared, std::size_t q, ColumnType& type) {
    bool found = false;
    for (const auto& [name, given] : choices.columnTypes) {
        if (name == wantedColumnName(declared, q) || caseKey(name) == caseKey(names[q])) {
            type = given;
            found = true;
        }
    }
    return found;
}

bool namesAColumn(const std::string& name, const std::vector<std::string>& names,
                  const std::vector<std::string>& declared) {
    for (std::size_t q = 0; q < names.size(); ++q) {
        if (name == wantedColumnName(declared, q) || caseKey(name) == caseKey(names[q])) {
            return true;
        }
    }
    return false;
}

bool everyTypeNamesAColumn(const ColumnChoices& choices, const std::vector<std::string>& names,
                           const std::vector<std::string>& declared) {
    for (const auto& [name, type] : choices.columnTypes) {
        if (!namesAColumn(name, names, declared)) {
            std::string listed;
            for (const std::string& column : names) {
                listed += (listed.empty() ? "" : ", ") + column;
            }
            warn("--type " + name + "=" + columnTypeName(type) +
                 ": the table has no column named \"" + printableText(name) + "\" (its columns: " +
                 (listed.empty() ? std::string("none") : printableText(listed)) +
                 "); no output file was written");
            return false;
        }
    }
    return true;
}

// Value `column` of record line `recordLine` of `eff`, read again for a
// message; the file is left at its start.
std::string valueOnLine(LineReader& eff, std::size_t recordLine, std::size_t column) {
    std::string line;
    std::string value;
    if (eff.rewind()) {
        for (std::size_t number = 1; number <= recordLine && eff.readLine(line); ++number) {
        }
        dropCarriageReturns(line);
        RecordLine record;
        if (parseRecordLine(line, record) == LineFault::None && column < record.values.size()) {
            value = record.values[column];
        }
    }
    eff.rewind();
    return value;
}

// A value that does not fit the type --type declares stops the run: a
// column of numbers cannot hold it, and a reader would find it empty.
bool valuesFit(ColumnType type, const ColumnSurvey& survey, const TableColumn& column,
               std::size_t q, const TextPlaces& places, LineReader& eff) {
    const std::size_t line = type == ColumnType::Integer ? survey.firstNoInteger
                             : type == ColumnType::Real  ? survey.firstNoNumber
                                                         : 0;
    if (line == 0) {
        return true;
    }
    const std::string what =
        type == ColumnType::Integer
            ? "is no integer of at most " + std::to_string(kIntegerDigits) + " digits"
            : "is no decimal number that a column of " + std::to_string(kMaxTextWidth) +
                  " bytes holds";
    warn(places.valuesPlace(line) + ": the value \"" +
         printableExcerpt(valueOnLine(eff, line, q), 60) + "\" of column " + column.name + " " +
         what + ", as --type " + column.name + "=" + columnTypeName(type) +
         " declares; no output file was written");
    return false;
}

TableColumn textColumn(const std::string& name, const ColumnSurvey& survey,
                       const ColumnChoices& choices) {
    const std::size_t width = choices.textWidth != 0
                                  ? choices.textWidth
                                  : std::clamp<std::size_t>(survey.widest, 1, kMaxTextWidth);
    return {name, ColumnType::Text, width, 0};
}

TableColumn numberColumn(const std::string& name, ColumnType type, const ColumnSurvey& survey) {
    if (type == ColumnType::Integer) {
        return {name, type, std::max<std::size_t>(survey.lead, 1), 0};
    }
    const std::size_t decimals = std::max<std::size_t>(survey.decimals, 1);
    return {name, type, realWidth(survey.lead, survey.decimals), decimals};
}

// What --detect-types makes of a column: numbers written without a '+' or
// a leading zero, all of them integers or some with decimals.
ColumnType detectedType(const ColumnSurvey& survey) {
    if (survey.values == 0) {
        return ColumnType::Text;
    }
    if (survey.plainIntegers && survey.lead <= kIntegerDigits) {
        return ColumnType::Integer;
    }
    if (survey.plainNumbers && survey.decimals > 0 &&
        realWidth(survey.lead, survey.decimals) <= kMaxTextWidth) {
        return ColumnType::Real;
    }
    return ColumnType::Text;
}

}  // namespace

ValueForm formOf(std::string_view value) {
    ValueForm form;
    form.bytes = value.size();
    const std::string_view text = withoutBlanks(value);
    if (text.empty()) {
        return form;
    }
    form.kind = ValueForm::Kind::Text;
    const std::size_t sign = text.front() == '-' || text.front() == '+' ? 1 : 0;
    const std::size_t whole = digitsAt(text, sign);
    if (whole == 0) {
        return form;
    }
    std::size_t end = sign + whole;
    std::size_t decimals = 0;
    if (end < text.size() && text[end] == '.') {
        decimals = digitsAt(text, end + 1);
        end += decimals > 0 ? decimals + 1 : 0;
    }
    if (end != text.size()) {
        return form;
    }
    form.kind = ValueForm::Kind::Number;
    form.lead = sign + whole;
    form.decimals = decimals;
    form.plain = text.front() != '+' && (whole == 1 || text[sign] != '0');
    return form;
}

void ColumnSurvey::add(const ValueForm& form, std::size_t recordLine) {
    widest = std::max(widest, form.bytes);
    if (form.kind == ValueForm::Kind::Empty) {
        return;
    }
    ++values;
    const bool number = form.kind == ValueForm::Kind::Number;
    plainNumbers = plainNumbers && number && form.plain;
    plainIntegers = plainIntegers && number && form.plain && form.decimals == 0;
    if (number) {
        lead = std::max(lead, form.lead);
        decimals = std::max(decimals, form.decimals);
    }
    if (firstNoInteger == 0 && !fitsInteger(form)) {
        firstNoInteger = recordLine;
    }
    if (firstNoNumber == 0 && !fitsReal(form)) {
        firstNoNumber = recordLine;
    }
}

bool planLayout(const std::vector<std::string>& names, const std::vector<std::string>& declared,
                const std::vector<ColumnSurvey>& surveys, const ColumnChoices& choices,
                const TextPlaces& places, LineReader& eff, std::vector<TableColumn>& columns) {
    if (!everyTypeNamesAColumn(choices, names, declared)) {
        return false;
    }
    const ColumnSurvey none;
    columns.clear();
    for (std::size_t q = 0; q < names.size(); ++q) {
        const ColumnSurvey& survey = q < surveys.size() ? surveys[q] : none;
        ColumnType type = ColumnType::Text;
        const bool declares = declaredType(choices, names, declared, q, type);
        if (!declares && choices.detectTypes) {
            type = detectedType(survey);
        }
        columns.push_back(type == ColumnType::Text ? textColumn(names[q], survey, choices)
                                                   : numberColumn(names[q], type, survey));
        if (declares && !valuesFit(type, survey, columns.back(), q, places, eff)) {
            return false;
        }
    }
    return true;
}

std::string numberCellText(std::string_view value, std::size_t width) {
    const std::string_view number = withoutBlanks(value);
    if (number.empty()) {
        return {};
    }
    std::string cell(width > number.size() ? width - number.size() : 0, ' ');
    cell.append(number);
    return cell;
}

}  // namespace vorn2shp
