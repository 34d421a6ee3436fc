#include "pipeline.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

#include "common/console.h"
#include "common/diagnostics.h"
#include "common/text_file.h"
#include "directory_lock.h"
#include "parse/parser.h"
#include "parse/rejection_message.h"
#include "prepare/input_preparer.h"
#include "translate/translator.h"

namespace vorn2shp {

namespace {

// The parse sees first.imd, which lacks the lines the preparation dropped:
// the user is told the line of the constraint file itself. Should that file
// no longer be readable, first.imd, whose lines all passed the same rule,
// still tells the line.
void reportRejection(const std::string& inputPath, const TokenPlace& place) {
    for (const std::string& path : {inputPath, std::string("first.imd")}) {
        if (const std::optional<SourceLine> line = findSourceLine(path, place.line)) {
            warn(describeRejection(place, path, line->number, line->text));
            return;
        }
    }
}

// A .prj holds one line of text; it is read whole, and copied as it stands.
bool readWholeFile(const std::string& path, std::string& bytes) {
    errno = 0;
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (file) {
        std::string chunk(1 << 16, '\0');
        while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get())) {
            bytes.append(chunk, 0, got);
        }
        if (!std::ferror(file.get())) {
            return true;
        }
    }
    warn("cannot read " + describeFileError(path, errno != 0 ? errno : EIO));
    return false;
}

// The files the user handed in, which the export must never remove.
std::vector<std::string> inputPathsOf(const ConversionSettings& settings) {
    std::vector<std::string> inputs = {settings.inputPath, sideFileName(settings.inputPath, "def"),
                                       sideFileName(settings.inputPath, "info")};
    if (!settings.projectionPath.empty()) {
        inputs.push_back(settings.projectionPath);
    }
    return inputs;
}

ExportOptions exportOptionsOf(const ConversionSettings& settings) {
    ExportOptions options;
    options.codePage = settings.codePage;
    options.spatialIndex = settings.spatialIndex;
    return options;
}

}  // namespace

ExitStatus runConversion(const ConversionSettings& settings, StagingRegistry& staging) {
    WorkingDirectoryLock lock;
    if (!lock.acquire()) {
        return ExitStatus::Failure;
    }
    ExportOptions exportOptions = exportOptionsOf(settings);
    if (!settings.projectionPath.empty() &&
        !readWholeFile(settings.projectionPath, exportOptions.projection.emplace())) {
        return ExitStatus::Failure;
    }
    // The console outlives the stages, so a failure text that a stage leaves
    // without a line end is still given when the stages are gone.
    Console console(settings.quiet ? Console::Mode::Quiet : Console::Mode::Transcript);
    // All three stage objects exist before any stage runs and are destroyed
    // in reverse order on every way out, which closes what they hold open.
    InputPreparer preparer;
    Parser parser;
    Translator translator;

    if (!preparer.prepare(settings.inputPath, settings.outputBase, console)) {
        return ExitStatus::Failure;
    }
    if (!parser.initialize()) {
        return ExitStatus::Failure;
    }
    if (!parser.parse(console)) {
        // A read or write failure has been reported; a rejection not yet.
        if (!parser.ioFailed()) {
            reportRejection(settings.inputPath, parser.rejectedAt());
        }
        return ExitStatus::Failure;
    }
    if (!translator.translate(console)) {
        return ExitStatus::Failure;
    }
    if (exportShapefile("output.eff.imd", settings.outputBase, exportOptions, console, staging,
                        inputPathsOf(settings)) != 0) {
        return ExitStatus::Failure;
    }
    console.progress("");
    console.progress("Final output in .eff format : output.eff");
    console.progress("");
    return ExitStatus::Ok;
}

}  // namespace vorn2shp
