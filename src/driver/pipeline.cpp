#include "pipeline.h"

#include <sys/stat.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>

#include "common/console.h"
#include "common/dataset_files.h"
#include "common/diagnostics.h"
#include "common/progress_meter.h"
#include "common/repeated_warnings.h"
#include "common/text_file.h"
#include "common/work_directory.h"
#include "directory_lock.h"
#include "export/shape_exporter.h"
#include "option_checks.h"
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
void reportRejection(const std::string& inputPath, const std::string& preparedPath,
                     const TokenPlace& place) {
    for (const std::string& path : {inputPath, preparedPath}) {
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
bool parse(Parser& parser, const ConversionSettings& settings, const WorkDirectory& work,
           Console& console) {
    if (parser.parse(console)) {
        return true;
    }
    if (!parser.ioFailed()) {
        reportRejection(settings.inputPath, work.pathOf(intermediate::kPreparedText),
                        parser.rejectedAt());
    }
    return false;
}

ExportOptions exportOptionsOf(const ConversionSettings& settings, const WorkDirectory& work) {
    ExportOptions options;
    options.codePage = settings.codePage;
    options.spatialIndex = settings.spatialIndex;
    options.keepY = settings.keepY;
    options.columns = settings.columns;
    options.definitionsPath = sideFileName(settings.inputPath, "def");
    options.infoPath = sideFileName(settings.inputPath, "info");
    options.fieldListPath = work.pathOf(intermediate::kFieldList);
    return options;
}

// A .prj that cannot be read stops the run before anything is written; one
// that readers will not understand, or a code page they do not know, is
// told and written all the same.
bool readDescriptions(const ConversionSettings& settings, ExportOptions& options) {
    const std::string base = datasetBase(settings.outputBase);
    checkCodePageName(settings.codePage, base + ".cpg");
    if (settings.projectionPath.empty()) {
        return true;
    }
    if (!runStage(settings.projectionPath, [&] {
            return readWholeFile(settings.projectionPath, options.projection.emplace());
        })) {
        return false;
    }
    checkProjectionText(settings.projectionPath, *options.projection, base + ".prj");
    return true;
}

// The share of the progress line that each stage takes: about its share of
// the time of a run, between that on the benchmark's real maps (whose
// translation takes two thirds) and that on a map of many small objects
// (whose export takes two fifths).
constexpr double kPrepareShare = 0.08;
constexpr double kParseShare = 0.14;
constexpr double kTranslateShare = 0.58;
constexpr double kExportShare = 0.20;

std::uint64_t sizeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// The next stage works through `bytes` (the validation and the writing of
// the export each read output.eff.imd once).
void beginStage(const Console& console, double share, std::uint64_t bytes) {
    if (ProgressMeter* meter = console.meter()) {
        meter->beginStage(share, bytes);
    }
}

// The four stages, once each and in order, with the closing lines.
ExitStatus runStages(const ConversionSettings& settings, const WorkDirectory& work,
                     ExportOptions& exportOptions, Console& console, StagingRegistry& staging) {
    // The totals of the warnings that were only counted end the run, on
    // every way out once the translation has begun.
    RepeatedWarnings warnings(settings.verbose);
    struct TotalsAtTheEnd {
        RepeatedWarnings& warnings;
        ~TotalsAtTheEnd() { warnings.summarize(); }
    } const totals{warnings};
    // All three stage objects exist before any stage runs and are destroyed
    // in reverse order on every way out, which closes what they hold open.
    InputPreparer preparer(work);
    Parser parser(ParseSplit{}, work);
    Translator translator(work);

    beginStage(console, kPrepareShare,
               sizeOf(settings.inputPath) + sizeOf(exportOptions.definitionsPath));
    if (!runStage(settings.inputPath, [&] {
            return preparer.prepare(settings.inputPath, settings.outputBase, console);
        })) {
        return ExitStatus::Failure;
    }
    beginStage(console, kParseShare, sizeOf(work.pathOf(intermediate::kPreparedText)));
    if (!runStage(work.pathOf(intermediate::kPreparedText),
                  [&] { return parser.initialize() && parse(parser, settings, work, console); })) {
        return ExitStatus::Failure;
    }
    beginStage(console, kTranslateShare, sizeOf(work.pathOf(intermediate::kTokens)));
    if (!runStage(work.pathOf(intermediate::kTokens), [&] {
            return translator.translate(console, warnings, exportOptions.definitionsPath);
        })) {
        return ExitStatus::Failure;
    }
    // The export's messages about values name the .def line they came from.
    exportOptions.definitionLines = translator.attributeLines();
    const std::string effPath = work.pathOf(intermediate::kOutlines);
    beginStage(console, kExportShare, 2 * sizeOf(effPath));
    if (!runStage(effPath, [&] {
            return exportShapefile(effPath, settings.outputBase, exportOptions, console, staging,
                                   inputPathsOf(settings));
        })) {
        return ExitStatus::Failure;
    }
    if (ProgressMeter* meter = console.meter()) {
        meter->finish();
    }
    console.progress("");
    console.progress("Final output in .eff format : output.eff");
    console.progress("");
    return ExitStatus::Ok;
}

}  // namespace

ExitStatus runConversion(const ConversionSettings& settings, StagingRegistry& staging) {
    const WorkDirectory work(settings.workDirectory);
    WorkingDirectoryLock lock;
    if (!lock.acquire(work)) {
        return ExitStatus::Failure;
    }
    // Before the output base is looked at: a commit that a killed run left
    // halfway is settled first, so every file there is of one dataset.
    settleUnfinishedCommits(settings.outputBase, staging);
    if (!checkRunFiles(settings)) {
        return ExitStatus::Failure;
    }
    ExportOptions exportOptions = exportOptionsOf(settings, work);
    if (!readDescriptions(settings, exportOptions)) {
        return ExitStatus::Failure;
    }
    std::optional<ProgressMeter> meter;
    if (settings.progress) {
        meter.emplace();
    }
    // The console outlives the stages, so a failure text that a stage leaves
    // without a line end is still given when the stages are gone.
    Console console(settings.quiet ? Console::Mode::Quiet : Console::Mode::Transcript,
                    meter ? &*meter : nullptr);
    return runStages(settings, work, exportOptions, console, staging);
}

}  // namespace vorn2shp
