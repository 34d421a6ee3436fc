#include "pipeline.h"

#include "common/diagnostics.h"
#include "export/shape_exporter.h"
#include "parse/parser.h"
#include "prepare/input_preparer.h"
#include "translate/translator.h"

namespace vorn2shp {

ExitStatus runConversion(const std::string& inputPath, const std::string& outputBase) {
    // All three stage objects exist before any stage runs and are destroyed
    // in reverse order on every way out, which closes what they hold open.
    InputPreparer preparer;
    Parser parser;
    Translator translator;

    if (!preparer.prepare(inputPath, outputBase)) {
        return ExitStatus::Failure;
    }
    if (!parser.initialize() || !parser.parse()) {
        return ExitStatus::Failure;
    }
    if (!translator.translate()) {
        return ExitStatus::Failure;
    }
    if (exportShapefile("output.eff.imd", outputBase) != 0) {
        return ExitStatus::Failure;
    }
    printLine("");
    printLine("Final output in .eff format : output.eff");
    printLine("");
    return ExitStatus::Ok;
}

}  // namespace vorn2shp
