#include "shape_exporter.h"

#include <algorithm>
#include <memory>

#include "common/diagnostics.h"
#include "common/text_file.h"
#include "eff_validation.h"
#include "field_name_list.h"
#include "shape_writer.h"
#include "side_files.h"
#include "staged_shapefile.h"
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

// Creating a file in place fails on a directory or a file the user may not
// write; the staged file must not replace such a one either.
bool mayReplace(const StagedShapefile& staged, std::string_view extension) {
    const int error = staged.replacementError(extension);
    if (error != 0) {
        warn(describeFileError(staged.finalPath(extension), error));
    }
    return error == 0;
}

// Creates the staging directory, and in it the shapefile pair and the table;
// a fault is reported with the fixed text of the file that failed.
bool createOutputs(StagedShapefile& staged, int shapeType, WriteMonitor& monitor, ShapefilePtr& shp,
                   TablePtr& dbf, Console& console) {
    if (!staged.create()) {
        warn(describeFileError(staged.finalPath("shp"), staged.error()));
    } else if (mayReplace(staged, "shp") && mayReplace(staged, "shx")) {
        shp.reset(SHPCreateLL(staged.stagedBase().c_str(), shapeType, monitor.hooks()));
    }
    if (!shp) {
        console.failureText("Unable to create shapefile");
        return false;
    }
    monitor.watch(shp->fpSHP);
    monitor.watch(shp->fpSHX);
    if (mayReplace(staged, "dbf")) {
        dbf.reset(DBFCreateLL(staged.stagedBase().c_str(), nullptr, monitor.hooks()));
    }
    if (!dbf) {
        console.failureText("Unable to create DBF file");
        return false;
    }
    monitor.watch(dbf->fp);
    return true;
}

// The parts of the new dataset beyond the .shp, .shx and .dbf.
std::vector<std::string_view> sidePartsOf(const TableEncoding& encoding,
                                          const ExportOptions& options) {
    std::vector<std::string_view> parts;
    if (!encoding.codePage.empty()) {
        parts.push_back("cpg");
    }
    if (options.projection) {
        parts.push_back("prj");
    }
    if (options.spatialIndex) {
        parts.push_back("qix");
    }
    return parts;
}

// GDAL and the other readers learn the table's encoding from <base>.cpg and
// the coordinate system from <base>.prj, written here where their writes
// are checked.
bool writeDescriptions(const StagedShapefile& staged, const TableEncoding& encoding,
                       const ExportOptions& options) {
    return (encoding.codePage.empty() ||
            (mayReplace(staged, "cpg") &&
             writeSideFile(staged.stagedPath("cpg"), encoding.codePage))) &&
           (!options.projection || (mayReplace(staged, "prj") &&
                                    writeSideFile(staged.stagedPath("prj"), *options.projection)));
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

// The new dataset replaces the earlier one whole. An earlier .cpg that the
// new table has no code page for would misname its text, so it goes too.
bool commitParts(StagedShapefile& staged, const std::vector<std::string_view>& sideParts) {
    std::vector<std::string_view> written{"shp", "shx", "dbf"};
    written.insert(written.end(), sideParts.begin(), sideParts.end());
    std::vector<std::string_view> stale;
    if (std::find(sideParts.begin(), sideParts.end(), "cpg") == sideParts.end()) {
        stale.push_back("cpg");
    }
    return staged.commit(written, stale);
}

}  // namespace

int exportShapefile(const std::string& effPath, const std::string& outputBase,
                    const ExportOptions& options, Console& console, StagingRegistry& staging) {
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

    StagedShapefile staged(staging, outputBase);
    // The monitor outlives both handles: closing them reports to it.
    WriteMonitor monitor;
    ShapefilePtr shp(nullptr, &SHPClose);
    TablePtr dbf(nullptr, &DBFClose);
    if (!createOutputs(staged, shapeType, monitor, shp, dbf, console)) {
        return kFailed;
    }
    const TableEncoding encoding = chooseTableEncoding(
        options.codePage, summary.valuesAreUtf8 && namesAreUtf8(declared), staged.finalPath("dbf"));
    const ExportTarget target{shp.get(), dbf.get(), planColumns(declared, summary, encoding.utf8),
                              encoding.utf8, &monitor};
    if (!writeDescriptions(staged, encoding, options) || !addColumns(target) ||
        !writeRecords(eff, target) || !closeAll(eff, shp, dbf, monitor)) {
        return kFailed;
    }
    if (options.spatialIndex &&
        (!mayReplace(staged, "qix") || !writeSpatialIndex(staged.stagedPath("shp")))) {
        return kFailed;
    }
    return commitParts(staged, sidePartsOf(encoding, options)) ? 0 : kFailed;
}

}  // namespace vorn2shp
