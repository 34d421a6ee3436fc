#include "shape_writer.h"

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "common/coordinate_items.h"
#include "common/diagnostics.h"
#include "common/utf8_text.h"
#include "record_pipeline.h"
#include "ring_rewind.h"

namespace vorn2shp {

namespace {

struct ShapeDeleter {
    void operator()(SHPObject* shape) const noexcept { SHPDestroyObject(shape); }
};
using ShapePtr = std::unique_ptr<SHPObject, ShapeDeleter>;

bool lastRingCloses(const RecordLine& record, const std::vector<int>& starts) {
    const auto first = static_cast<std::size_t>(starts.back());
    const std::size_t last = record.x.size() - 1;
    return last > first &&
           sameVertex(record.x[first], record.y[first], record.x[last], record.y[last]);
}

int shapeTypeOf(const RecordLine& record) {
    if (record.x.size() == 1) {
        return SHPT_POINT;
    }
    return lastRingCloses(record, ringStarts(record)) ? SHPT_POLYGON : SHPT_ARC;
}

std::string linePlace(const LineReader& file, std::size_t lineNumber) {
    return file.path() + ": line " + std::to_string(lineNumber);
}

std::string lineOf(const LineReader& file, std::size_t lineNumber) {
    return "line " + std::to_string(lineNumber) + " of " + file.path();
}

// Reports the first failed file operation when there was one; shapelib also
// refuses things without any (a file grown past its size limit).
bool reportFailure(const ExportTarget& target, const std::string& refusal) {
    warn(target.monitor->failed() ? target.monitor->failure() : refusal);
    return false;
}

// Buffered writes can fail where no result of the library shows it.
bool noFailureSoFar(const ExportTarget& target) {
    if (target.monitor->failed()) {
        warn(target.monitor->failure());
        return false;
    }
    return true;
}

// A record line made ready to be written: taken apart, and its shape made
// with the rings turned. Only what the writing needs is kept while it waits.
struct PreparedShape {
    bool blank = false;    // nothing but carriage returns
    bool changed = false;  // the line no longer parses
    std::size_t vertexCount = 0;
    bool closes = false;  // whether its last ring closes
    std::vector<std::string_view> values;
    ShapePtr shape;
};

bool fitsOneShape(std::size_t vertexCount) {
    return vertexCount <= static_cast<std::size_t>(INT_MAX);
}

ShapePtr makeShape(int shapeType, const RecordLine& record, const std::vector<int>& starts) {
    const int count = static_cast<int>(record.x.size());
    if (shapeType == SHPT_POLYGON) {
        return ShapePtr(SHPCreateObject(shapeType, -1, static_cast<int>(starts.size()),
                                        starts.data(), nullptr, count, record.x.data(),
                                        record.y.data(), nullptr, nullptr));
    }
    return ShapePtr(
        SHPCreateSimpleObject(shapeType, count, record.x.data(), record.y.data(), nullptr));
}

// output.eff.imd holds y negated; 0 - y rather than -y, so that a y of 0
// stays 0 and is not written as -0.
void restoreY(RecordLine& record) {
    for (double& y : record.y) {
        y = 0.0 - y;
    }
}

// The part of writing a record that needs no other record, done on either
// thread; `record` is that thread's working storage.
void prepareShape(int shapeType, bool keepY, NumberedLine& line, PreparedShape& prepared,
                  RecordLine& record) {
    dropCarriageReturns(line.text);
    prepared.blank = line.text.empty();
    prepared.changed = !prepared.blank && parseRecordLine(line.text, record) != LineFault::None;
    if (prepared.blank || prepared.changed) {
        return;
    }
    if (keepY) {
        restoreY(record);
    }
    // What waits for the writing is kept small: of a long line only its
    // values, and the vertices in the shape alone.
    if (line.text.size() > kLongLine) {
        keepOnlyValues(line.text, record.values);
    }
    prepared.vertexCount = record.vertexCount;
    prepared.values.swap(record.values);
    if (!fitsOneShape(record.vertexCount)) {
        return;
    }
    const std::vector<int> starts =
        shapeType == SHPT_POLYGON ? ringStarts(record) : std::vector<int>{0};
    prepared.closes = lastRingCloses(record, starts);
    prepared.shape = makeShape(shapeType, record, starts);
    // Outer rings clockwise and holes counter-clockwise, as the format
    // requires, whatever order the outline was written in.
    if (prepared.shape && shapeType == SHPT_POLYGON) {
        rewindRings(*prepared.shape);
    }
}

// Writes the prepared records, one after the other in file order, and
// gives their warnings.
class RecordWriter {
public:
    RecordWriter(const ExportTarget& target, const LineReader& file)
        : target_(target), file_(file) {
        SHPGetInfo(target.shp, nullptr, &shapeType_, nullptr, nullptr);
    }

    int shapeType() const { return shapeType_; }

    bool write(const PreparedShape& prepared, std::size_t lineNumber) {
        if (!fitsOneShape(prepared.vertexCount)) {
            warn(linePlace(file_, lineNumber) + ": too many points for one shape");
            return false;
        }
        const int shapeId = writeShape(prepared, lineNumber);
        return shapeId >= 0 && writeRow(prepared.values, shapeId, lineNumber) &&
               noFailureSoFar(target_);
    }

    void reportCutValues() const {
        if (cutValues_ > 0) {
            const TextPlaces& places = *target_.places;
            warn(places.valuesFile() + ": " + std::to_string(cutValues_) +
                 " value(s) longer than " + std::to_string(target_.textWidth) +
                 " bytes were cut to fit the table (the first on line " +
                 std::to_string(places.valuesLine(firstCutLine_)) + ")");
        }
    }

private:
    // The file's type comes from its first line; a later line that does not
    // fit it is written all the same, but not in silence.
    void warnIfShapeDoesNotFit(const PreparedShape& prepared, std::size_t lineNumber) const {
        const std::size_t count = prepared.vertexCount;
        if (shapeType_ == SHPT_POINT && count > 1) {
            warn(linePlace(file_, lineNumber) + ": " + std::to_string(count) +
                 " points in a point file; only the first is kept");
        } else if (shapeType_ == SHPT_ARC && count < 2) {
            warn(linePlace(file_, lineNumber) + ": a single point in a line file");
        } else if (shapeType_ == SHPT_POLYGON && !prepared.closes) {
            warn(linePlace(file_, lineNumber) + ": the outline is not closed");
        }
    }

    int writeShape(const PreparedShape& prepared, std::size_t lineNumber) {
        warnIfShapeDoesNotFit(prepared, lineNumber);
        if (!prepared.shape) {
            warn(linePlace(file_, lineNumber) + ": out of memory for the shape");
            return -1;
        }
        if (!target_.limits->shapeFits(*target_.shp, *prepared.shape,
                                       WriteMonitor::pathOf(target_.shp->fpSHP))) {
            return -1;
        }
        const int shapeId = SHPWriteObject(target_.shp, -1, prepared.shape.get());
        if (shapeId < 0) {
            reportFailure(target_, WriteMonitor::pathOf(target_.shp->fpSHP) + ": the shape of " +
                                       lineOf(file_, lineNumber) + " could not be written");
        }
        return shapeId;
    }

    // Every text value is cut to the column width before it is handed over,
    // so a false answer of the library is always a failure, never a cut.
    bool writeRow(const std::vector<std::string_view>& values, int row, std::size_t lineNumber) {
        for (std::size_t q = 0; q < target_.columns.size(); ++q) {
            const std::string_view value = q < values.size() ? values[q] : "";
            if (!writeCell(target_.columns[q], static_cast<int>(q), value, row, lineNumber)) {
                return reportFailure(target_, WriteMonitor::pathOf(target_.dbf->fp) + ": row " +
                                                  std::to_string(row + 1) +
                                                  " could not be written");
            }
        }
        return true;
    }

    // A number column holds the number as written, at its right; an empty
    // value is null there.
    bool writeCell(const TableColumn& column, int field, std::string_view value, int row,
                   std::size_t lineNumber) {
        if (column.type != ColumnType::Text) {
            value_ = numberCellText(value, column.width);
            return value_.empty()
                       ? DBFWriteNULLAttribute(target_.dbf, row, field) != 0
                       : DBFWriteAttributeDirectly(target_.dbf, row, field, value_.data()) != 0;
        }
        const std::string_view stored = cutToWidth(value, column.width, target_.utf8);
        if (stored.size() < value.size() && cutValues_++ == 0) {
            firstCutLine_ = lineNumber;
        }
        value_.assign(stored);
        return DBFWriteStringAttribute(target_.dbf, row, field, value_.c_str()) != 0;
    }

    const ExportTarget& target_;
    const LineReader& file_;
    int shapeType_ = SHPT_NULL;
    std::string value_;
    std::size_t cutValues_ = 0;
    std::size_t firstCutLine_ = 0;
};

// Writes the records in file order, each prepared on one of two threads.
// False after a failure of a record has been reported.
bool writeEveryRecord(LineReader& file, RecordWriter& writer, bool keepY) {
    const int shapeType = writer.shapeType();
    const auto prepare = [shapeType, keepY](NumberedLine& line, PreparedShape& prepared,
                                            RecordLine& record) {
        prepareShape(shapeType, keepY, line, prepared, record);
    };
    const auto commit = [&](const NumberedLine& line, PreparedShape& prepared) {
        if (prepared.changed) {
            warn(linePlace(file, line.number) + ": the file changed after it was validated");
            return false;
        }
        const bool written = prepared.blank || writer.write(prepared, line.number);
        prepared.shape.reset();
        return written;
    };
    // A read that failed is reported by the caller, as a failure of the file.
    return runRecordPipeline<PreparedShape, RecordLine>(file, prepare, commit) !=
           PipelineEnd::Stopped;
}

}  // namespace

bool sameVertex(double x1, double y1, double x2, double y2) { return x1 == x2 && y1 == y2; }

std::vector<int> ringStarts(const RecordLine& record) {
    std::vector<int> starts{0};
    const std::size_t count = record.x.size();
    for (std::size_t end = ringEnd(record.x.data(), record.y.data(), 0, count); end + 1 < count;
         end = ringEnd(record.x.data(), record.y.data(), end + 1, count)) {
        starts.push_back(static_cast<int>(end + 1));
    }
    return starts;
}

int chooseShapeType(LineReader& file) {
    int type = SHPT_POLYGON;
    std::string line;
    RecordLine record;
    if (file.rewind()) {
        while (readLine(file, line)) {
            if (!line.empty()) {
                if (parseRecordLine(line, record) == LineFault::None) {
                    type = shapeTypeOf(record);
                }
                break;
            }
        }
    }
    file.rewind();
    return type;
}

bool addColumns(const ExportTarget& target) {
    for (const TableColumn& column : target.columns) {
        const DBFFieldType type = column.type == ColumnType::Integer ? FTInteger
                                  : column.type == ColumnType::Real  ? FTDouble
                                                                     : FTString;
        if (DBFAddField(target.dbf, column.name.c_str(), type, static_cast<int>(column.width),
                        static_cast<int>(column.decimals)) < 0) {
            return reportFailure(target, WriteMonitor::pathOf(target.dbf->fp) + ": the column " +
                                             column.name + " could not be added");
        }
    }
    return noFailureSoFar(target);
}

bool writeRecords(LineReader& file, const ExportTarget& target) {
    if (!file.rewind()) {
        warn(describeFileError(file.path(), file.error()));
        return false;
    }
    RecordWriter writer(target, file);
    // shapelib writes the table's end-of-file mark behind every row, so each
    // next row would seek back over it and push the buffer out. It is only
    // needed behind the last row, which is written when the table is closed.
    DBFSetWriteEndOfFileChar(target.dbf, 0);
    if (!writeEveryRecord(file, writer, target.keepY)) {
        return false;
    }
    target.limits->warnAboutShapesSize(*target.shp, WriteMonitor::pathOf(target.shp->fpSHP));
    if (file.error() != 0 || !file.rewind()) {
        warn(describeFileError(file.path(), file.error()));
        return false;
    }
    DBFSetWriteEndOfFileChar(target.dbf, 1);
    writer.reportCutValues();
    return true;
}

}  // namespace vorn2shp
