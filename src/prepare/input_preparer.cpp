#include "prepare/input_preparer.h"

#include <cstring>

#include "common/console.h"
#include "common/diagnostics.h"
#include "common/text_file.h"
#include "field_list.h"
#include "source_file.h"

namespace vorn2shp {

namespace {

void reportUnreadable(const SourceFile& file) {
    warn("cannot read " + describeFileError(file.path(), file.error()));
}

bool openConstraintFile(SourceFile& file, const std::string& path) {
    if (file.open(path) == SourceFile::Status::Ready) {
        return true;
    }
    reportUnreadable(file);
    return false;
}

// A missing side file is no reason to stop: the objects simply get no
// attribute text or no field names. One that exists but cannot be read is,
// since reading it as empty would quietly lose what it holds.
bool openSideFile(SourceFile& file, const std::string& path) {
    switch (file.open(path)) {
        case SourceFile::Status::Ready:
            return true;
        case SourceFile::Status::Missing:
            warn(describeFileError(path, file.error()) + "; read as an empty file");
            return true;
        case SourceFile::Status::Unreadable:
            break;
    }
    reportUnreadable(file);
    return false;
}

bool createOutput(OutputFile& out, const std::string& name) {
    if (out.open(name)) {
        return true;
    }
    warn("cannot create " + describeFileError(name, out.error()));
    return false;
}

bool finishOutput(OutputFile& out) {
    if (out.close()) {
        return true;
    }
    warn("cannot write " + describeFileError(out.path(), out.error()));
    return false;
}

// True when every line of `in` has been read, false (reported) after a read error.
bool readToTheEnd(const SourceFile& in) {
    if (!in.failed()) {
        return true;
    }
    reportUnreadable(in);
    return false;
}

// memchr searches a line many bytes at a time; the lines of a constraint
// file are long, and every one is searched three times.
bool holds(std::string_view line, char c) {
    return std::memchr(line.data(), c, line.size()) != nullptr;
}

// Writes a new `outputPath` from the lines of `source`: `copyLine(line,
// number, out)` writes each, numbered from 1, as it comes.
template <typename CopyLine>
bool copyLines(SourceFile& source, const std::string& outputPath, CopyLine copyLine) {
    OutputFile out;
    if (!createOutput(out, outputPath)) {
        return false;
    }
    std::string_view line;
    std::size_t lineNumber = 0;
    while (source.readLine(line)) {
        copyLine(line, ++lineNumber, out);
    }
    return readToTheEnd(source) && finishOutput(out);
}

// The table takes its text as C strings, so a value ends at a NUL byte;
// the first line that holds one is named, once.
bool copyDefinitions(SourceFile& definitions, const std::string& outputPath) {
    bool nulReported = false;
    const auto copyLine = [&](std::string_view line, std::size_t lineNumber, OutputFile& out) {
        if (!nulReported && holds(line, '\0')) {
            warn(definitions.path() + ":" + std::to_string(lineNumber) +
                 ": NUL byte; every attribute value that holds one ends there in the table");
            nulReported = true;
        }
        out.writeLine(line);
    };
    return copyLines(definitions, outputPath, copyLine);
}

// Whether a line holds two '(' or more: the search stops at the second.
bool holdsTwoOpenParentheses(std::string_view line) {
    const auto* first = static_cast<const char*>(std::memchr(line.data(), '(', line.size()));
    return first != nullptr &&
           holds(line.substr(static_cast<std::size_t>(first - line.data()) + 1), '(');
}

// A line is dropped when it holds a '%', or two or more '('.
bool keepsConstraintLine(std::string_view line) {
    return !holds(line, '%') && !holdsTwoOpenParentheses(line);
}

// Its final '.' becomes the ';' that ends a rule; no other position counts.
bool endsWithPeriod(std::string_view line) { return !line.empty() && line.back() == '.'; }

// The scanner takes a NUL byte for the end of the text, so everything after
// the first one is silently lost; the user is told where it stands.
void reportNulByte(const std::string& inputPath, std::size_t lineNumber) {
    warn(inputPath + ":" + std::to_string(lineNumber) + ": NUL byte; the text after it is ignored");
}

bool writePreparedText(SourceFile& constraints, const std::string& outputPath) {
    bool nulReported = false;
    const auto copyLine = [&](std::string_view line, std::size_t lineNumber, OutputFile& out) {
        if (!keepsConstraintLine(line)) {
            return;
        }
        if (!nulReported && holds(line, '\0')) {
            reportNulByte(constraints.path(), lineNumber);
            nulReported = true;
        }
        if (endsWithPeriod(line)) {
            out.write(line.substr(0, line.size() - 1));
            out.writeLine(";");
        } else {
            out.writeLine(line);
        }
    };
    return copyLines(constraints, outputPath, copyLine);
}

// Only the second line of the .info file counts; nothing after it is read.
// The empty piece after the line feed that ends a file of one line is no
// second line of it.
bool writeFieldList(SourceFile& info, const std::string& outputPath, Console& console) {
    std::string line;
    int linesRead = 0;
    while (linesRead < 2 && info.readLine(line)) {
        ++linesRead;
    }
    if (linesRead == 2 && line.empty() && info.atEnd()) {
        linesRead = 1;
    }
    if (!readToTheEnd(info)) {
        return false;
    }
    console.progress(info.path());

    const FieldList list =
        linesRead < 2 ? FieldList{"", FieldListFault::NoSecondLine} : extractFieldList(line);
    // A missing file has been reported already; its empty list says nothing new.
    if (list.fault != FieldListFault::None && !info.missing()) {
        warn(describeFieldListFault(info.path(), list.fault));
    }
    // The table takes its column names as C strings.
    if (holds(list.text, '\0')) {
        warn(info.path() +
             ":2: NUL byte in the field list; the field name that holds it ends there");
    }
    OutputFile out;
    if (!createOutput(out, outputPath)) {
        return false;
    }
    out.writeLine(list.text);
    return finishOutput(out);
}

}  // namespace

std::string sideFileName(const std::string& inputPath, const std::string& extension) {
    const std::size_t slash = inputPath.rfind('/');
    const std::size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t nameStart = inputPath.find_first_not_of('.', componentStart);
    const std::size_t cut =
        nameStart == std::string::npos ? std::string::npos : inputPath.find('.', nameStart);
    return inputPath.substr(0, cut) + "." + extension;
}

// The same lines are dropped as when first.imd was written, so the kept
// lines count its lines. A file that ends with a line feed reads as one
// more, empty, line, which is not one of the file's own.
std::optional<SourceLine> findSourceLine(const std::string& inputPath, std::size_t preparedLine) {
    LineReader reader;
    if (!reader.open(inputPath)) {
        return std::nullopt;
    }
    std::string_view line;
    SourceLine last;
    std::size_t kept = 0;
    bool lastIsEmpty = false;
    while (reader.readLine(line)) {
        // The columns of first.imd's lines are those of the text without it.
        if (++last.number == 1) {
            line = withoutByteOrderMark(line);
        }
        lastIsEmpty = line.empty();
        if (keepsConstraintLine(line) && ++kept == preparedLine) {
            return SourceLine{last.number, std::string(line)};
        }
    }
    if (reader.error() != 0) {
        return std::nullopt;
    }
    if (lastIsEmpty && last.number > 1) {
        --last.number;
    }
    return last;
}

// The output base name plays no part in this pass.
bool InputPreparer::prepare(const std::string& inputPath, const std::string& /*outputBase*/,
                            Console& console) {
    SourceFile constraints;
    SourceFile definitions;
    SourceFile info;
    constraints.reportProgressTo(console.meter());
    definitions.reportProgressTo(console.meter());
    if (!openConstraintFile(constraints, inputPath) ||
        !openSideFile(definitions, sideFileName(inputPath, "def")) ||
        !openSideFile(info, sideFileName(inputPath, "info"))) {
        return false;
    }
    if (!copyDefinitions(definitions, work_.pathOf(intermediate::kDefinitions)) ||
        !writePreparedText(constraints, work_.pathOf(intermediate::kPreparedText))) {
        return false;
    }
    console.progress("Initial File Processing Done...");
    return writeFieldList(info, work_.pathOf(intermediate::kFieldList), console);
}

}  // namespace vorn2shp
