#include "shape_writer.h"

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "common/diagnostics.h"
#include "eff_validation.h"
#include "ring_rewind.h"
#include "table_text.h"

namespace vorn2shp {

namespace {

using ShapePtr = std::unique_ptr<SHPObject, decltype(&SHPDestroyObject)>;

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

class RecordWriter {
public:
    RecordWriter(const ExportTarget& target, const LineReader& file)
        : target_(target), file_(file) {
        SHPGetInfo(target.shp, nullptr, &shapeType_, nullptr, nullptr);
    }

    bool write(const RecordLine& record, std::size_t lineNumber) {
        if (record.x.size() > static_cast<std::size_t>(INT_MAX)) {
            warn(linePlace(file_, lineNumber) + ": too many points for one shape");
            return false;
        }
        const int shapeId = writeShape(record, lineNumber);
        return shapeId >= 0 && writeRow(record, shapeId, lineNumber) && noFailureSoFar(target_);
    }

    void reportCutValues() const {
        if (cutValues_ > 0) {
            warn(file_.path() + ": " + std::to_string(cutValues_) + " value(s) longer than " +
                 std::to_string(kValueWidth) +
                 " bytes were cut to fit the table (the first on line " +
                 std::to_string(firstCutLine_) + ")");
        }
    }

private:
    ShapePtr makeShape(const RecordLine& record, const std::vector<int>& starts) const {
        const int count = static_cast<int>(record.x.size());
        if (shapeType_ == SHPT_POLYGON) {
            return ShapePtr(
                SHPCreateObject(shapeType_, -1, static_cast<int>(starts.size()), starts.data(),
                                nullptr, count, record.x.data(), record.y.data(), nullptr, nullptr),
                &SHPDestroyObject);
        }
        return ShapePtr(
            SHPCreateSimpleObject(shapeType_, count, record.x.data(), record.y.data(), nullptr),
            &SHPDestroyObject);
    }

    // The file's type comes from its first line; a later line that does not
    // fit it is written all the same, but not in silence.
    void warnIfShapeDoesNotFit(const RecordLine& record, const std::vector<int>& starts,
                               std::size_t lineNumber) const {
        const std::size_t count = record.x.size();
        if (shapeType_ == SHPT_POINT && count > 1) {
            warn(linePlace(file_, lineNumber) + ": " + std::to_string(count) +
                 " points in a point file; only the first is kept");
        } else if (shapeType_ == SHPT_ARC && count < 2) {
            warn(linePlace(file_, lineNumber) + ": a single point in a line file");
        } else if (shapeType_ == SHPT_POLYGON && !lastRingCloses(record, starts)) {
            warn(linePlace(file_, lineNumber) + ": the outline is not closed");
        }
    }

    int writeShape(const RecordLine& record, std::size_t lineNumber) {
        const std::vector<int> starts =
            shapeType_ == SHPT_POLYGON ? ringStarts(record) : std::vector<int>{0};
        warnIfShapeDoesNotFit(record, starts, lineNumber);
        const ShapePtr shape = makeShape(record, starts);
        if (!shape) {
            warn(linePlace(file_, lineNumber) + ": out of memory for the shape");
            return -1;
        }
        // Outer rings clockwise and holes counter-clockwise, as the format
        // requires, whatever order the outline was written in.
        if (shapeType_ == SHPT_POLYGON) {
            rewindRings(*shape);
        }
        const int shapeId = SHPWriteObject(target_.shp, -1, shape.get());
        if (shapeId < 0) {
            reportFailure(target_, WriteMonitor::pathOf(target_.shp->fpSHP) + ": the shape of " +
                                       lineOf(file_, lineNumber) + " could not be written");
        }
        return shapeId;
    }

    // Every value is cut to the column width before it is handed over, so a
    // false answer of the library is always a failure, never a cut.
    bool writeRow(const RecordLine& record, int row, std::size_t lineNumber) {
        for (std::size_t q = 0; q < target_.columns.size(); ++q) {
            const std::string_view value = q < record.values.size() ? record.values[q] : "";
            const std::string_view stored = cutToWidth(value, kValueWidth, target_.utf8);
            if (stored.size() < value.size() && cutValues_++ == 0) {
                firstCutLine_ = lineNumber;
            }
            value_.assign(stored);
            if (!DBFWriteStringAttribute(target_.dbf, row, static_cast<int>(q), value_.c_str())) {
                return reportFailure(target_, WriteMonitor::pathOf(target_.dbf->fp) + ": row " +
                                                  std::to_string(row + 1) +
                                                  " could not be written");
            }
        }
        return true;
    }

    const ExportTarget& target_;
    const LineReader& file_;
    int shapeType_ = SHPT_NULL;
    std::string value_;
    std::size_t cutValues_ = 0;
    std::size_t firstCutLine_ = 0;
};

// Writes the records in file order. False after a failure has been
// reported.
bool writeEveryRecord(LineReader& file, RecordWriter& writer) {
    std::string line;
    RecordLine record;
    for (std::size_t lineNumber = 1; readLine(file, line); ++lineNumber) {
        if (line.empty()) {
            continue;
        }
        if (parseRecordLine(line, record) != LineFault::None) {
            warn(linePlace(file, lineNumber) + ": the file changed after it was validated");
            return false;
        }
        readVertices(record);
        if (!writer.write(record, lineNumber)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool sameVertex(double x1, double y1, double x2, double y2) { return x1 == x2 && y1 == y2; }

std::vector<int> ringStarts(const RecordLine& record) {
    std::vector<int> starts{0};
    const std::size_t count = record.x.size();
    std::size_t start = 0;
    for (std::size_t i = 3; i < count; ++i) {
        if (i - start >= 3 &&
            sameVertex(record.x[i], record.y[i], record.x[start], record.y[start]) &&
            i + 1 < count) {
            start = i + 1;
            starts.push_back(static_cast<int>(start));
        }
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
                    readVertices(record);
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
    for (const std::string& name : target.columns) {
        if (DBFAddField(target.dbf, name.c_str(), FTString, kValueWidth, 0) < 0) {
            return reportFailure(target, WriteMonitor::pathOf(target.dbf->fp) + ": the column " +
                                             name + " could not be added");
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
    if (!writeEveryRecord(file, writer)) {
        return false;
    }
    if (file.error() != 0 || !file.rewind()) {
        warn(describeFileError(file.path(), file.error()));
        return false;
    }
    DBFSetWriteEndOfFileChar(target.dbf, 1);
    writer.reportCutValues();
    return true;
}

}  // namespace vorn2shp
