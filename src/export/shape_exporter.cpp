#include "export/shape_exporter.h"

#include <algorithm>
#include <memory>

#include "column_layout.h"
#include "common/dataset_files.h"
#include "common/diagnostics.h"
#include "common/text_file.h"
#include "common/utf8_text.h"
#include "eff_validation.h"
#include "field_name_list.h"
#include "format_limits.h"
#include "shape_writer.h"
#include "side_files.h"
#include "staged_shapefile.h"
#include "stale_side_files.h"
#include "text_places.h"

namespace vorn2shp {

namespace {

using ShapefilePtr = std::unique_ptr<SHPInfo, decltype(&SHPClose)>;
using TablePtr = std::unique_ptr<DBFInfo, decltype(&DBFClose)>;

std::vector<std::string> declaredFieldNames(const std::string& path) {
    FieldNameList list;
    if (!list.load(path)) {
        warn(describeFileError(path, list.error()) + "; the columns take generated names");
    }
    return list.names();
}

// A dBASE row holds at most 65,535 bytes: the deletion flag and the
// columns. Its header, 32 bytes for each column and 33 more, has the same
// limit, which binds only for columns narrower than these.
constexpr std::size_t kMaxRowBytes = 65535;
constexpr std::size_t kMaxHeaderColumns = (kMaxRowBytes - 33) / 32;

std::size_t maxColumnsOf(std::size_t width) {
    return std::min((kMaxRowBytes - 1) / width, kMaxHeaderColumns);
}

// The line with the most values, or the field list, as the messages about
// too many columns name what asks for them.
std::string whatAsksForColumns(const std::vector<std::string>& declared, const EffSummary& summary,
                               bool valuesAsk, const TextPlaces& places) {
    return valuesAsk
               ? places.valuesPlace(summary.largestValueLine) + ": " +
                     std::to_string(summary.largestValueCount) + " attribute values"
               : places.fieldListPlace() + ": " + std::to_string(declared.size()) + " field names";
}

// Every line's values go into as many columns as the fullest line needs,
// and at least the declared ones. A table without columns cannot hold rows,
// so a file of shapes without any value still gets one (blank) column.
std::size_t columnCount(const std::vector<std::string>& declared, const EffSummary& summary) {
    const std::size_t count = std::max(declared.size(), summary.largestValueCount);
    return count == 0 && summary.recordCount > 0 ? 1 : count;
}

// Known before anything is created, so a table too wide for the format
// fails the run before a single file is written. Columns of one width are
// counted at once; columns as wide as their values once they are planned.
bool fitsOneTable(const std::vector<std::string>& declared, const EffSummary& summary,
                  const ExportOptions& options, const TextPlaces& places) {
    const std::size_t width = options.columns.textWidth;
    if (!options.columns.allTextOfOneWidth() ||
        columnCount(declared, summary) <= maxColumnsOf(width)) {
        return true;
    }
    warn(whatAsksForColumns(declared, summary, summary.largestValueCount > maxColumnsOf(width),
                            places) +
         ", but a dBASE table holds at most " + std::to_string(maxColumnsOf(width)) +
         " text columns of " + std::to_string(width) + " bytes (" + std::to_string(kMaxRowBytes) +
         " bytes a row); no output file was written");
    return false;
}

bool plannedColumnsFitOneTable(const std::vector<TableColumn>& columns,
                               const std::vector<std::string>& declared, const EffSummary& summary,
                               const TextPlaces& places) {
    std::size_t rowBytes = 1;
    for (const TableColumn& column : columns) {
        rowBytes += column.width;
    }
    if (rowBytes <= kMaxRowBytes && columns.size() <= kMaxHeaderColumns) {
        return true;
    }
    warn(
        whatAsksForColumns(declared, summary, summary.largestValueCount > declared.size(), places) +
        ", but a dBASE table holds at most " + std::to_string(kMaxHeaderColumns) + " columns and " +
        std::to_string(kMaxRowBytes) + " bytes a row, and its " + std::to_string(columns.size()) +
        " columns take " + std::to_string(rowBytes) + " bytes a row; no output file was written");
    return false;
}

// Every name that had to change is told, with what it became.
std::vector<std::string> planColumns(const std::vector<std::string>& declared,
                                     const EffSummary& summary, bool utf8,
                                     const TextPlaces& places) {
    std::vector<std::string> names = columnNames(declared, columnCount(declared, summary), utf8);
    for (std::size_t q = 0; q < names.size(); ++q) {
        const std::string wanted = wantedColumnName(declared, q);
        if (names[q] != wanted) {
            warn(places.fieldListPlace() + ": column " + std::to_string(q + 1) + ": " +
                 describeColumnRename(wanted, names[q], utf8));
        }
    }
    return names;
}

// The columns, their names, kinds and widths, and the sizes the files will
// have: everything about the dataset that stops the run, or is worth a
// warning, before a file is created.
bool planTable(const std::vector<std::string>& declared, const EffSummary& summary,
               const ExportOptions& options, const TableEncoding& encoding, int shapeType,
               const StagedShapefile& staged, const TextPlaces& places, const FormatLimits& limits,
               LineReader& eff, std::vector<TableColumn>& columns) {
    const std::vector<std::string> names = planColumns(declared, summary, encoding.utf8, places);
    if (!planLayout(names, declared, summary.columns, options.columns, places, eff, columns) ||
        !plannedColumnsFitOneTable(columns, declared, summary, places)) {
        return false;
    }
    const DatasetSizes sizes =
        plannedSizes(shapeType, summary.recordCount, summary.vertexCount, columns);
    if (!limits.fit(sizes, staged.finalPath("shp"), staged.finalPath("dbf"))) {
        return false;
    }
    limits.warnAboutReaders(sizes, columns.size(), staged.finalPath("shp"),
                            staged.finalPath("dbf"));
    return true;
}

// A line with more values than names may hold a comma inside a value, which
// shifts every value after it into the next column; the values beyond the
// names are kept in columns of their own, and the user is told once.
void warnAboutValuesBeyondNames(const std::vector<std::string>& declared, const EffSummary& summary,
                                const TextPlaces& places) {
    if (summary.linesBeyondNames == 0) {
        return;
    }
    const std::size_t later = summary.linesBeyondNames - 1;
    warn(places.valuesPlace(summary.firstLineBeyondNames) + ": " +
         std::to_string(summary.valuesOnFirstLineBeyond) + " attribute values, but " +
         places.fieldListPlace() + " declares " + std::to_string(declared.size()) + " field name" +
         (declared.size() == 1 ? "" : "s") +
         ": the values beyond them go into columns named FIELDn, and a comma inside a value "
         "splits it in two" +
         (later == 0 ? ""
                     : " (" + std::to_string(later) + " later line" +
                           (later == 1 ? " has" : "s have") + " more values than names too)"));
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

// The files of the new dataset.
std::vector<std::string_view> partsOf(const TableEncoding& encoding, const ExportOptions& options) {
    SideFiles sides;
    sides.codePage = !encoding.codePage.empty();
    sides.projection = options.projection.has_value();
    sides.spatialIndex = options.spatialIndex;
    return datasetParts(sides);
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

// The new dataset replaces the earlier one whole. The side files derived
// from the earlier one's data that the new set has no part for would be
// read with the new data, so they go in the same commit, all or nothing; an
// input of the run among them stays. A projection or metadata file stays,
// and the user is told.
bool commitParts(StagedShapefile& staged, const std::string& outputBase,
                 const std::vector<std::string_view>& written,
                 const std::vector<std::string>& inputs) {
    std::vector<std::string> writtenPaths;
    for (const std::string_view part : written) {
        writtenPaths.push_back(staged.finalPath(part));
    }
    // Another run's commit at this output base ends before the earlier
    // side files are looked for: its files are the earlier ones here.
    staged.holdOutputDirectory();
    const std::vector<std::string> stale =
        exceptInputs(staleSideFiles(outputBase, writtenPaths), inputs);
    const std::vector<std::string> kept =
        exceptInputs(keptDescriptions(outputBase, writtenPaths), inputs);
    // What is said of the side files comes together, before a stop that
    // comes meanwhile is told.
    const ConsoleHold hold;
    if (!staged.commit(written, stale)) {
        return false;
    }
    reportKeptDescriptions(kept);
    return true;
}

}  // namespace

bool exportShapefile(const std::string& effPath, const std::string& outputBase,
                     const ExportOptions& options, Console& console, StagingRegistry& staging,
                     const std::vector<std::string>& inputs) {
    LineReader eff(LineReader::CarriageReturns::Kept);
    if (!eff.open(effPath)) {
        warn(describeFileError(effPath, eff.error()));
        return false;
    }
    // The names are known before the lines are checked, which counts the
    // lines with values beyond them.
    const std::vector<std::string> declared = declaredFieldNames(options.fieldListPath);
    const TextPlaces places(effPath, options.definitionsPath, options.definitionLines,
                            options.fieldListPath, options.infoPath);
    EffSummary summary;
    eff.reportProgressTo(console.meter());
    switch (validateEffFile(eff, declared.size(), summary, console,
                            !options.columns.allTextOfOneWidth())) {
        case EffCheck::Rejected:
            console.failureText("Input file is not valid");
            return false;
        case EffCheck::Unreadable:
            warn(describeFileError(effPath, eff.error()));
            return false;
        case EffCheck::Passed:
            break;
    }
    const int shapeType = chooseShapeType(eff);
    if (!fitsOneTable(declared, summary, options, places)) {
        return false;
    }
    warnAboutValuesBeyondNames(declared, summary, places);
    StagedShapefile staged(staging, outputBase);
    const TableEncoding encoding = chooseTableEncoding(
        options.codePage, summary.valuesAreUtf8 && namesAreUtf8(declared), staged.finalPath("dbf"));
    const FormatLimits limits;
    std::vector<TableColumn> columns;
    if (!planTable(declared, summary, options, encoding, shapeType, staged, places, limits, eff,
                   columns)) {
        return false;
    }

    // The monitor outlives both handles: closing them reports to it.
    WriteMonitor monitor;
    ShapefilePtr shp(nullptr, &SHPClose);
    TablePtr dbf(nullptr, &DBFClose);
    if (!createOutputs(staged, shapeType, monitor, shp, dbf, console)) {
        return false;
    }
    const ExportTarget target{
        shp.get(),
        dbf.get(),
        columns,
        encoding.utf8,
        options.columns.textWidth != 0 ? options.columns.textWidth : kMaxTextWidth,
        options.keepY,
        &monitor,
        &places,
        &limits};
    if (!writeDescriptions(staged, encoding, options) || !addColumns(target) ||
        !writeRecords(eff, target) || !closeAll(eff, shp, dbf, monitor)) {
        return false;
    }
    if (options.spatialIndex &&
        (!mayReplace(staged, "qix") || !writeSpatialIndex(staged.stagedPath("shp")))) {
        return false;
    }
    return commitParts(staged, outputBase, partsOf(encoding, options), inputs);
}

}  // namespace vorn2shp
