#include "pipeline.h"

#include <optional>
#include <vector>

#include "common/diagnostics.h"
#include "export/shape_exporter.h"
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

}  // namespace

ExitStatus runConversion(const std::string& inputPath, const std::string& outputBase) {
    // All three stage objects exist before any stage runs and are destroyed
    // in reverse order on every way out, which closes what they hold open.
    InputPreparer preparer;
    Parser parser;
    Translator translator;

    if (!preparer.prepare(inputPath, outputBase)) {
        return ExitStatus::Failure;
    }
    if (!parser.initialize()) {
        return ExitStatus::Failure;
    }
    if (!parser.parse()) {
        // A read or write failure has been reported; a rejection not yet.
        if (!parser.ioFailed()) {
            reportRejection(inputPath, parser.rejectedAt());
        }
        return ExitStatus::Failure;
    }
    if (!translator.translate()) {
        return ExitStatus::Failure;
    }
    const std::vector<std::string> inputs = {inputPath, sideFileName(inputPath, "def"),
                                             sideFileName(inputPath, "info")};
    if (exportShapefile("output.eff.imd", outputBase, inputs) != 0) {
        return ExitStatus::Failure;
    }
    printLine("");
    printLine("Final output in .eff format : output.eff");
    printLine("");
    return ExitStatus::Ok;
}

}  // namespace vorn2shp
