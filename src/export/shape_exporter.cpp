#include "shape_exporter.h"

#include <algorithm>
#include <memory>

#include "common/diagnostics.h"
#include "common/text_file.h"
#include "eff_validation.h"
#include "field_name_list.h"
#include "shape_writer.h"
#include "side_files.h"
#include "table_text.h"

namespace vorn2shp {

namespace {

using ShapefilePtr = std::unique_ptr<SHPInfo, decltype(&SHPClose)>;
using TablePtr = std::unique_ptr<DBFInfo, decltype(&DBFClose)>;

constexpr int kFailed = 1;

std::vector<std::string> declaredFieldNames() {
    FieldNameList list;
    if (!list.load()) {
        warn(describeFileError("DBF$$$.fld", list.error()) + "; the columns take generated names");
    }
    return list.names();
}

// Every line's values go into as many columns as the fullest line needs,
// and at least the declared ones. A table without columns cannot hold rows,
// so a file of shapes without any value still gets one (blank) column.
std::vector<std::string> planColumns(const std::vector<std::string>& declared,
                                     const EffSummary& summary, bool utf8) {
    std::size_t count = std::max(declared.size(), summary.largestValueCount);
    if (count == 0 && summary.recordCount > 0) {
        count = 1;
    }
    return columnNames(declared, count, utf8);
}

bool namesAreUtf8(const std::vector<std::string>& names) {
    return std::all_of(names.begin(), names.end(),
                       [](const std::string& name) { return isValidUtf8(name); });
}

// GDAL and the other readers learn the table's encoding from <base>.cpg and
// the coordinate system from <base>.prj. The table is created without a code
// page, which also removes the .cpg of an earlier run, and the side files are
// written here, where their writes are checked.
bool writeDescriptions(const std::string& shapesPath, const TableEncoding& encoding,
                       const ExportOptions& options) {
    return (encoding.codePage.empty() ||
            writeSideFile(besidePath(shapesPath, "cpg"), encoding.codePage)) &&
           (!options.projection ||
            writeSideFile(besidePath(shapesPath, "prj"), *options.projection));
}

// Closes the text file and then both outputs, in that order; a failed write
// or close of an output is reported here.
bool closeAll(LineReader& eff, ShapefilePtr& shp, TablePtr& dbf, const WriteMonitor& monitor) {
    eff.close();
    shp.reset();
    dbf.reset();
    if (monitor.failed()) {
        warn(monitor.failure());
        return false;
    }
    return true;
}

}  // namespace

int exportShapefile(const std::string& effPath, const std::string& outputBase,
                    const ExportOptions& options, Console& console) {
    LineReader eff(LineReader::CarriageReturns::Kept);
    if (!eff.open(effPath)) {
        warn(describeFileError(effPath, eff.error()));
        return kFailed;
    }
    EffSummary summary;
    if (!validateEffFile(eff, summary, console)) {
        if (eff.error() != 0) {
            warn(describeFileError(effPath, eff.error()));
        } else {
            console.failureText("Input file is not valid");
        }
        return kFailed;
    }
    const int shapeType = chooseShapeType(eff);
    const std::vector<std::string> declared = declaredFieldNames();

    // The monitor outlives both handles: closing them reports to it.
    WriteMonitor monitor;
    ShapefilePtr shp(SHPCreateLL(outputBase.c_str(), shapeType, monitor.hooks()), &SHPClose);
    if (!shp) {
        console.failureText("Unable to create shapefile");
        return kFailed;
    }
    monitor.watch(shp->fpSHP);
    monitor.watch(shp->fpSHX);
    TablePtr dbf(DBFCreateLL(outputBase.c_str(), nullptr, monitor.hooks()), &DBFClose);
    if (!dbf) {
        console.failureText("Unable to create DBF file");
        return kFailed;
    }
    monitor.watch(dbf->fp);

    const std::string shapesPath = WriteMonitor::pathOf(shp->fpSHP);
    const TableEncoding encoding =
        chooseTableEncoding(options.codePage, summary.valuesAreUtf8 && namesAreUtf8(declared),
                            WriteMonitor::pathOf(dbf->fp));
    const ExportTarget target{shp.get(), dbf.get(), planColumns(declared, summary, encoding.utf8),
                              encoding.utf8, &monitor};
    if (!writeDescriptions(shapesPath, encoding, options) || !addColumns(target) ||
        !writeRecords(eff, target) || !closeAll(eff, shp, dbf, monitor)) {
        return kFailed;
    }
    return !options.spatialIndex || writeSpatialIndex(shapesPath) ? 0 : kFailed;
}

}  // namespace vorn2shp
