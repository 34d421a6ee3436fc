#include "translator.h"

#include "common/diagnostics.h"
#include "common/text_file.h"

namespace vorn2shp {

// Stand-in until the translation pass exists: an empty output.eff.imd.
bool Translator::translate() {
    printLine("Starting Translation Process....");
    OutputFile eff;
    if (!eff.open("output.eff.imd")) {
        warn(describeFileError("output.eff.imd", eff.error()));
        return false;
    }
    printLine("Translation Done .....");
    printLine("Creating Intermidiate File for Final Output...");
    printLine("Conversion Process Done");
    return eff.close();
}

}  // namespace vorn2shp
