#include "shape_exporter.h"

#include <algorithm>
#include <memory>

#include "common/diagnostics.h"
#include "common/text_file.h"
#include "eff_validation.h"
#include "field_name_list.h"
#include "shape_writer.h"
#include "side_files.h"
#include "stale_side_files.h"
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

// A dBASE row holds at most 65,535 bytes: the deletion flag and the
// columns. Its header, 32 bytes for each column and 33 more, has the same
// limit, which binds only for columns narrower than these.
constexpr std::size_t kMaxRowBytes = 65535;
constexpr std::size_t kMaxColumns =
    std::min((kMaxRowBytes - 1) / kValueWidth, (kMaxRowBytes - 33) / 32);

// Every line's values go into as many columns as the fullest line needs,
// and at least the declared ones. A table without columns cannot hold rows,
// so a file of shapes without any value still gets one (blank) column.
std::size_t columnCount(const std::vector<std::string>& declared, const EffSummary& summary) {
    const std::size_t count = std::max(declared.size(), summary.largestValueCount);
    return count == 0 && summary.recordCount > 0 ? 1 : count;
}

// Known before anything is created, so a table too wide for the format
// fails the run before a single file is written.
bool fitsOneTable(const std::vector<std::string>& declared, const EffSummary& summary,
                  const std::string& effPath) {
    if (columnCount(declared, summary) <= kMaxColumns) {
        return true;
    }
    const std::string cause =
        summary.largestValueCount > kMaxColumns
            ? effPath + ": line " + std::to_string(summary.largestValueLine) + ": " +
                  std::to_string(summary.largestValueCount) + " attribute values"
            : std::string("DBF$$$.fld: ") + std::to_string(declared.size()) + " field names";
    warn(cause + ", but a dBASE table holds at most " + std::to_string(kMaxColumns) +
         " text columns of " + std::to_string(kValueWidth) + " bytes (" +
         std::to_string(kMaxRowBytes) + " bytes a row); no output file was written");
    return false;
}

// Every name that had to change is told, with what it became.
std::vector<std::string> planColumns(const std::vector<std::string>& declared,
                                     const EffSummary& summary, bool utf8) {
    std::vector<std::string> names = columnNames(declared, columnCount(declared, summary), utf8);
    for (std::size_t q = 0; q < names.size(); ++q) {
        const std::string wanted = wantedColumnName(declared, q);
        if (names[q] != wanted) {
            warn("DBF$$$.fld: column " + std::to_string(q + 1) + ": " +
                 describeColumnRename(wanted, names[q], utf8));
        }
    }
    return names;
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

// The side files this run writes itself, which are therefore not stale.
std::vector<std::string> sideFilesWritten(const std::string& base, const TableEncoding& encoding,
                                          const ExportOptions& options) {
    std::vector<std::string> written;
    if (!encoding.codePage.empty()) {
        written.push_back(base + ".cpg");
    }
    if (options.projection) {
        written.push_back(base + ".prj");
    }
    if (options.spatialIndex) {
        written.push_back(base + ".qix");
    }
    return written;
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
                    const ExportOptions& options, Console& console,
                    const std::vector<std::string>& inputs) {
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
    if (!fitsOneTable(declared, summary, effPath)) {
        return kFailed;
    }
    const std::string base = datasetBase(outputBase);
    const TableEncoding encoding =
        chooseTableEncoding(options.codePage, summary.valuesAreUtf8 && namesAreUtf8(declared),
                            base + ".dbf");
    const std::vector<std::string> columns = planColumns(declared, summary, encoding.utf8);
    if (!removeStaleSideFiles(staleSideFiles(outputBase, sideFilesWritten(base, encoding, options)),
                              inputs)) {
        return kFailed;
    }

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
    const ExportTarget target{shp.get(), dbf.get(), columns, encoding.utf8, &monitor};
    if (!writeDescriptions(shapesPath, encoding, options) || !addColumns(target) ||
        !writeRecords(eff, target) || !closeAll(eff, shp, dbf, monitor)) {
        return kFailed;
    }
    return !options.spatialIndex || writeSpatialIndex(shapesPath) ? 0 : kFailed;
}

}  // namespace vorn2shp
