#include "pipeline.h"

#include <new>
#include <optional>
#include <string_view>
#include <system_error>

#include "common/console.h"
#include "common/diagnostics.h"
#include "common/repeated_warnings.h"
#include "common/text_file.h"
#include "directory_lock.h"
#include "export/shape_exporter.h"
#include "parse/parser.h"
#include "parse/rejection_message.h"
#include "prepare/input_preparer.h"
#include "run_files.h"
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
// The lines are joined again by the line feeds they were split at.
bool readWholeFile(const std::string& path, std::string& bytes) {
    LineReader reader(LineReader::CarriageReturns::Kept);
    if (reader.open(path)) {
        std::string_view line;
        for (bool first = true; reader.readLine(line); first = false) {
            if (!first) {
                bytes.push_back('\n');
            }
            bytes.append(line);
        }
    }
    if (reader.error() == 0) {
        return true;
    }
    warn("cannot read " + describeFileError(path, reader.error()));
    return false;
}

// Memory runs out only on input of extreme size, such as an object of
// millions of triangles, or where the run is given very little; a thread
// may then not start either. The run ends with a message that names the
// file the stage works on, never with an abort.
template <typename Stage>
bool runStage(const std::string& file, const Stage& stage) {
    try {
        return stage();
    } catch (const std::bad_alloc&) {
        warn(file + ": out of memory; the run stops here");
    } catch (const std::system_error& error) {
        warn(file + ": " + error.what() + "; the run stops here");
    }
    return false;
}

// A read or write failure has been reported; a rejection not yet.
bool parse(Parser& parser, const ConversionSettings& settings, Console& console) {
    if (parser.parse(console)) {
        return true;
    }
    if (!parser.ioFailed()) {
        reportRejection(settings.inputPath, parser.rejectedAt());
    }
    return false;
}

ExportOptions exportOptionsOf(const ConversionSettings& settings) {
    ExportOptions options;
    options.codePage = settings.codePage;
    options.spatialIndex = settings.spatialIndex;
    options.definitionsPath = sideFileName(settings.inputPath, "def");
    options.infoPath = sideFileName(settings.inputPath, "info");
    return options;
}

}  // namespace

ExitStatus runConversion(const ConversionSettings& settings, StagingRegistry& staging) {
    WorkingDirectoryLock lock;
    if (!lock.acquire()) {
        return ExitStatus::Failure;
    }
    // Before the output base is looked at: a commit that a killed run left
    // halfway is settled first, so every file there is of one dataset.
    settleUnfinishedCommits(settings.outputBase, staging);
    if (!checkRunFiles(settings)) {
        return ExitStatus::Failure;
    }
    ExportOptions exportOptions = exportOptionsOf(settings);
    if (!settings.projectionPath.empty() && !runStage(settings.projectionPath, [&] {
            return readWholeFile(settings.projectionPath, exportOptions.projection.emplace());
        })) {
        return ExitStatus::Failure;
    }
    // The console outlives the stages, so a failure text that a stage leaves
    // without a line end is still given when the stages are gone.
    Console console(settings.quiet ? Console::Mode::Quiet : Console::Mode::Transcript);
    // The totals of the warnings that were only counted end the run, on
    // every way out once the translation has begun.
    RepeatedWarnings warnings(settings.verbose);
    struct TotalsAtTheEnd {
        RepeatedWarnings& warnings;
        ~TotalsAtTheEnd() { warnings.summarize(); }
    } const totals{warnings};
    // All three stage objects exist before any stage runs and are destroyed
    // in reverse order on every way out, which closes what they hold open.
    InputPreparer preparer;
    Parser parser;
    Translator translator;

    if (!runStage(settings.inputPath, [&] {
            return preparer.prepare(settings.inputPath, settings.outputBase, console);
        })) {
        return ExitStatus::Failure;
    }
    if (!runStage("first.imd",
                  [&] { return parser.initialize() && parse(parser, settings, console); })) {
        return ExitStatus::Failure;
    }
    if (!runStage("second.imd", [&] {
            return translator.translate(console, warnings, exportOptions.definitionsPath);
        })) {
        return ExitStatus::Failure;
    }
    // The export's messages about values name the .def line they came from.
    exportOptions.definitionLines = translator.attributeLines();
    if (!runStage("output.eff.imd", [&] {
            return exportShapefile("output.eff.imd", settings.outputBase, exportOptions, console,
                                   staging, inputPathsOf(settings));
        })) {
        return ExitStatus::Failure;
    }
    console.progress("");
    console.progress("Final output in .eff format : output.eff");
    console.progress("");
    return ExitStatus::Ok;
}

}  // namespace vorn2shp
