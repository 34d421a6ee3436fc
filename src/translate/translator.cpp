// The translation pass.
//
// Tuples are read one at a time; consecutive tuples with the same id are
// one object, whose triangles are merged into its outline when the next id
// (or the end) comes. Only one object's triangles are ever held, so memory
// follows the largest object, not the file.
//
// Reading second.imd and merging outlines each take about half of the pass,
// so the reading runs on a thread of its own and hands the tuples over in
// batches; everything else, every warning included, happens on the calling
// thread in the order the tuples come, as if there were only one.
#include "translate/translator.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "attribute_source.h"
#include "attribute_text.h"
#include "common/batch_feed.h"
#include "common/coordinate_items.h"
#include "common/diagnostics.h"
#include "common/progress_meter.h"
#include "common/repeated_warnings.h"
#include "common/text_file.h"
#include "geometry/eff_format.h"
#include "merge/outline_merge.h"
#include "tuples/tuple_reader.h"
#include "union/triangle_union.h"

namespace vorn2shp {

namespace {

// Items per batch and batches in circulation: enough for the reader to run
// on while the largest objects of a map are merged, few enough that the
// tuples in flight stay a small, fixed amount of memory.
constexpr std::size_t kBatchItems = 4096;
constexpr std::size_t kBatches = 16;

// What the translation needs of a tuple, in a few bytes: its triangle,
// computed on the reader's thread, and what its warnings would say. What
// only some tuples have is kept beside the batch's tuples.
struct TupleRecord {
    Triangle triangle;
    CornerBounds bounds;
    long rule = 0;
    std::uint32_t constraintCount = 0;
    TriangleFault fault = TriangleFault::None;
    bool cutOff = false;
    bool startsObject = false;  // the first tuple, or one whose id differs from the last
};

// Tuples in reading order, with the reader's warnings, each to be given
// just before the tuple at its index (or after the last one).
struct TupleBatch {
    std::vector<TupleRecord> tuples;
    std::vector<std::pair<std::size_t, std::string>> notes;
    std::vector<std::string> objectIds;  // of each tuple that starts an object, in order
    // Why a tuple's constraints cannot be read as lines, by the index of its tuple.
    std::vector<std::pair<std::size_t, std::string>> misreadings;
    // The line keys of each tuple whose lines are written with decimals.
    std::vector<std::pair<std::size_t, LineKeys>> lineKeys;
    std::uint64_t bytes = 0;  // of second.imd, read for this batch

    std::size_t items() const { return tuples.size() + notes.size(); }
    void clear() {
        tuples.clear();
        notes.clear();
        objectIds.clear();
        misreadings.clear();
        lineKeys.clear();
    }
};

// The reader's side of the translation: the tuples of second.imd, and the
// id of the last one, to tell where an object begins.
struct TupleSource {
    TupleReader reader;
    Tuple tuple;
    bool started = false;
    // The rules whose id is no whole number: how many, and the first.
    std::size_t textIdRules = 0;
    long firstTextIdRule = 0;
    std::string firstTextId;
};

void noteTextId(TupleSource& source) {
    if (source.textIdRules++ == 0) {
        source.firstTextIdRule = source.tuple.rule;
        source.firstTextId = source.tuple.id;
    }
}

void addRecord(TupleSource& source, TupleBatch& batch) {
    Tuple& tuple = source.tuple;
    TupleRecord record;
    record.rule = tuple.rule;
    // Past what a count can hold, the warning says as much as it needs to.
    record.constraintCount =
        static_cast<std::uint32_t>(std::min<std::size_t>(tuple.constraintCount, UINT32_MAX));
    record.cutOff = tuple.cutOff;
    record.fault = triangleOf(tuple.lines, record.triangle);
    if (record.fault == TriangleFault::None) {
        record.bounds = cornerBoundsOf(tuple.lines, record.triangle);
        if (hasWrittenBounds(tuple.lines)) {
            batch.lineKeys.emplace_back(batch.tuples.size(), lineKeysOf(tuple.lines));
        }
    }
    if (!tuple.misreading.empty()) {
        batch.misreadings.emplace_back(batch.tuples.size(), std::move(tuple.misreading));
    }
    batch.tuples.push_back(record);
}

// Fills `batch` with the next tuples of `source` and the warnings that come
// with them; false at the end of the file (a last warning may come with it).
bool fillTuples(TupleSource& source, TupleBatch& batch) {
    batch.clear();
    TupleReader& reader = source.reader;
    // The notes go into this batch, and nowhere once it is handed on.
    struct NotesIntoBatch {
        TupleReader& reader;
        ~NotesIntoBatch() { reader.reportNotesTo(nullptr); }
    } const notesIntoBatch{reader};
    reader.reportNotesTo([&batch](std::string note) {
        batch.notes.emplace_back(batch.tuples.size(), std::move(note));
    });
    // The id of the tuple before is the one still in source.tuple.
    std::string previousId;
    while (batch.items() < kBatchItems) {
        previousId.swap(source.tuple.id);
        if (!reader.next(source.tuple)) {
            previousId.swap(source.tuple.id);
            return false;
        }
        if (source.tuple.idIsText) {
            noteTextId(source);
        }
        const bool startsObject = !source.started || source.tuple.id != previousId;
        source.started = true;
        if (startsObject) {
            batch.objectIds.push_back(source.tuple.id);
        }
        addRecord(source, batch);
        batch.tuples.back().startsObject = startsObject;
    }
    return true;
}

// The progress of the pass is the bytes of second.imd whose tuples have
// been taken, not those read: the reader runs ahead by many batches.
bool fillCountedTuples(TupleSource& source, TupleBatch& batch) {
    const std::uint64_t before = source.reader.bytesRead();
    const bool more = fillTuples(source, batch);
    batch.bytes = source.reader.bytesRead() - before;
    return more;
}

std::string objectName(const std::string& id) { return "object " + id; }

// The kinds of warning that may come for every object or tuple of a map;
// past the first few of a kind they are counted (see RepeatedWarnings).
namespace kinds {
constexpr const char* kOverlap = "objects whose triangles overlap or do not meet edge to edge";
constexpr const char* kUnionFault = "objects whose union fails its check";
constexpr const char* kTooSmall = "objects with triangles too small to keep";
constexpr const char* kCollapsed = "objects with rings that collapse at four decimals";
constexpr const char* kNothingWritten = "objects with nothing to write";
constexpr const char* kLeftOut = "tuples left out";
constexpr const char* kExtraConstraints = "rules with more than three constraints";
constexpr const char* kPassedOver = "rules passed over";
constexpr const char* kCoordinateLike = "objects whose attribute text begins like coordinates";
}  // namespace kinds

// "1.2e-05", as short as it can be said.
std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", value);
    return text;
}

std::string whyNoTriangle(TriangleFault fault, long rule) {
    const std::string ruleName = "rule " + std::to_string(rule);
    switch (fault) {
        case TriangleFault::CoefficientOutOfRange:
            return ruleName + " has a number too large to compute with";
        case TriangleFault::ParallelLines:
            return ruleName + " has two parallel lines, which bound no triangle";
        case TriangleFault::CornerOutOfRange:
            return "the lines of " + ruleName + " meet too far out to compute with";
        case TriangleFault::NoArea:
            return "the corners of " + ruleName + " lie on one line";
        case TriangleFault::None:
            break;
    }
    return ruleName;
}

class TranslationPass {
public:
    TranslationPass(const WorkDirectory& work, RepeatedWarnings& warnings,
                    const std::string& definitionsPath, AttributeLines& attributeLines)
        : tokenPath_(work.pathOf(intermediate::kTokens)),
          outlinePath_(work.pathOf(intermediate::kOutlines)),
          warnings_(warnings),
          attributes_(work.pathOf(intermediate::kDefinitions), definitionsPath),
          attributeLines_(attributeLines) {}

    bool open();
    bool run(ProgressMeter* meter);

private:
    void takeBatch(const TupleBatch& batch);
    void take(const TupleRecord& tuple, const std::string& misreading, const LineKeys* lines);
    void addTriangle(const TupleRecord& tuple, const LineKeys* lines);
    void closeObject();
    std::vector<Ring> outlineOf(MergeResult& merged, std::size_t& collapsed);
    std::vector<Ring> unionOutline(MergeResult& merged, std::size_t& collapsed);
    void warnAboutDropped(const MergeResult& merged) const;
    void warnAboutTextIds() const;
    void writeObjectLine(const std::vector<Ring>& rings, const std::string& attributes);
    void warnAbout(const char* kind, const std::string& message) const {
        warnings_.give(kind, objectName(objectId_) + ": " + message);
    }
    static std::size_t dropCollapsedRings(std::vector<Ring>& rings);

    const std::string tokenPath_;    // second.imd
    const std::string outlinePath_;  // output.eff.imd
    RepeatedWarnings& warnings_;
    TupleSource tuples_;
    AttributeSource attributes_;
    AttributeLines& attributeLines_;
    OutputFile eff_;

    bool inObject_ = false;
    std::string objectId_;
    std::size_t objects_ = 0;
    std::vector<Triangle> triangles_;
    std::vector<CornerBounds> bounds_;  // of each triangle
    // The keys of each triangle's lines, once one of the object's tuples has
    // lines written with decimals; a triangle before it has keys that match
    // no line, as its own keys were not kept.
    std::vector<LineKeys> lines_;
    std::uint32_t unknownLine_ = 0;
    // Made at the first object that needs it: most maps never do.
    std::unique_ptr<TriangleUnion> union_;
    std::size_t linesWritten_ = 0;
    std::string line_;
};

bool TranslationPass::open() {
    if (!tuples_.reader.open(tokenPath_)) {
        warn(describeFileError(tokenPath_, tuples_.reader.error()));
        return false;
    }
    attributes_.open();
    if (!eff_.open(outlinePath_)) {
        warn(describeFileError(outlinePath_, eff_.error()));
        return false;
    }
    return true;
}

bool TranslationPass::run(ProgressMeter* meter) {
    {
        BatchFeed<TupleSource, TupleBatch> feed(std::move(tuples_), kBatches, fillCountedTuples);
        TupleBatch batch;
        while (feed.next(batch)) {
            takeBatch(batch);
            if (meter != nullptr) {
                meter->advance(batch.bytes);
            }
            feed.recycle(std::move(batch));
        }
        tuples_ = feed.finish();
    }
    if (tuples_.reader.error() != 0) {
        warn(describeFileError(tokenPath_, tuples_.reader.error()));
        return false;
    }
    closeObject();
    warnAboutTextIds();
    attributes_.warnAboutUnused(objects_);
    if (!eff_.close()) {
        warn(describeFileError(outlinePath_, eff_.error()));
        return false;
    }
    return true;
}

void TranslationPass::takeBatch(const TupleBatch& batch) {
    auto note = batch.notes.begin();
    auto id = batch.objectIds.begin();
    auto misreading = batch.misreadings.begin();
    auto keys = batch.lineKeys.begin();
    const std::string readable;
    for (std::size_t i = 0; i < batch.tuples.size(); ++i) {
        for (; note != batch.notes.end() && note->first == i; ++note) {
            warnings_.give(kinds::kPassedOver, note->second);
        }
        const TupleRecord& tuple = batch.tuples[i];
        if (tuple.startsObject) {
            closeObject();
            inObject_ = true;
            objectId_ = *id++;
        }
        const bool misread = misreading != batch.misreadings.end() && misreading->first == i;
        const bool hasKeys = keys != batch.lineKeys.end() && keys->first == i;
        take(tuple, misread ? (misreading++)->second : readable,
             hasKeys ? &(keys++)->second : nullptr);
    }
    for (; note != batch.notes.end(); ++note) {
        warnings_.give(kinds::kPassedOver, note->second);
    }
}

void TranslationPass::take(const TupleRecord& tuple, const std::string& misreading,
                           const LineKeys* lines) {
    // Named only when there is something to say: most tuples pass in silence.
    const auto rule = [&tuple] { return "rule " + std::to_string(tuple.rule); };
    if (tuple.cutOff) {
        warnAbout(kinds::kLeftOut, rule() + " breaks off before its end; the tuple was left out");
    } else if (tuple.constraintCount < 3) {
        warnAbout(kinds::kLeftOut,
                  rule() + " gives " + std::to_string(tuple.constraintCount) +
                      " constraint(s), a triangle needs 3; the tuple was left out");
    } else if (!misreading.empty()) {
        warnAbout(kinds::kLeftOut, rule() + " " + misreading + "; the tuple was left out");
    } else {
        if (tuple.constraintCount > 3) {
            warnAbout(kinds::kExtraConstraints, rule() + " gives " +
                                                    std::to_string(tuple.constraintCount) +
                                                    " constraints; only the first 3 were used");
        }
        addTriangle(tuple, lines);
    }
}

void TranslationPass::addTriangle(const TupleRecord& tuple, const LineKeys* lines) {
    if (tuple.fault == TriangleFault::None) {
        if (lines != nullptr || !lines_.empty()) {
            while (lines_.size() < triangles_.size()) {
                lines_.push_back({unknownLine_, unknownLine_ + 1, unknownLine_ + 2});
                unknownLine_ += 3;
            }
            lines_.push_back(lines != nullptr
                                 ? *lines
                                 : LineKeys{unknownLine_, unknownLine_ + 1, unknownLine_ + 2});
            unknownLine_ += lines != nullptr ? 0 : 3;
        }
        triangles_.push_back(tuple.triangle);
        bounds_.push_back(tuple.bounds);
    } else {
        warnAbout(kinds::kLeftOut,
                  whyNoTriangle(tuple.fault, tuple.rule) + "; the tuple was left out");
    }
}

// Ends the current object: its line of def.imd is used up whether or not
// an outline is written, so every later object keeps its own attributes.
void TranslationPass::closeObject() {
    if (!inObject_) {
        return;
    }
    inObject_ = false;
    ++objects_;
    std::string attributes;
    const bool hadOwnLine = attributes_.next(attributes, objectName(objectId_));
    MergeResult merged = mergeGroup(triangles_, bounds_, lines_);
    std::size_t collapsed = 0;
    std::vector<Ring> rings = outlineOf(merged, collapsed);
    triangles_.clear();
    bounds_.clear();
    lines_.clear();
    const bool hadRings = !rings.empty() || collapsed > 0;
    collapsed += dropCollapsedRings(rings);
    if (rings.empty()) {
        const std::string skipped =
            hadOwnLine ? "; its attribute text, " + attributes_.place() + ", was skipped" : "";
        warnAbout(kinds::kNothingWritten,
                  (hadRings ? std::string("its outline collapses when written with four "
                                          "decimals, so nothing was written for it")
                            : std::string("no tuple gives a usable triangle, so nothing was "
                                          "written for it")) +
                      skipped);
        return;
    }
    if (collapsed > 0) {
        warnAbout(kinds::kCollapsed, std::to_string(collapsed) +
                                         " ring(s) of its outline collapse when written with four "
                                         "decimals (no area, or fewer than three corners) and "
                                         "were left out");
    }
    if (const std::string reading = howCoordinatesAreRead(attributes); !reading.empty()) {
        warnings_.give(kinds::kCoordinateLike, attributes_.place() + ": the attribute text of " +
                                                   objectName(objectId_) + ", " + reading);
    }
    attributeLines_.add(hadOwnLine ? attributes_.line() : 0);
    writeObjectLine(rings, attributes);
}

// Triangles that tile the object edge to edge keep the merge's rings; any
// others take the exact union of the triangles.
std::vector<Ring> TranslationPass::outlineOf(MergeResult& merged, std::size_t& collapsed) {
    if (!merged.edgeToEdge) {
        return unionOutline(merged, collapsed);
    }
    warnAboutDropped(merged);
    return std::move(merged.rings);
}

// Where corners moved to join their copies, the union is taken of the
// triangles as merged, so that their rounding leaves no crack or pinhole.
std::vector<Ring> TranslationPass::unionOutline(MergeResult& merged, std::size_t& collapsed) {
    if (!union_) {
        union_ = std::make_unique<TriangleUnion>();
    }
    const std::vector<Triangle>& triangles =
        merged.cornersMoved ? merged.joinedTriangles : triangles_;
    UnionOutline outline = union_->outline(triangles, merged.unionPolygons);
    const std::string what = "its triangles overlap or do not meet edge to edge";
    const std::string apart = merged.largestDisagreement > 0.0
                                  ? "; the corners joined into one differed by up to " +
                                        shortNumber(merged.largestDisagreement)
                                  : "; the corners joined into one agreed exactly";
    if (outline.rings.empty()) {
        warnAboutDropped(merged);
        warnAbout(kinds::kOverlap, what + ", and their union could not be taken: " + outline.fault +
                                       "; the outline follows them as far as it can" + apart);
        return std::move(merged.rings);
    }
    warnAbout(kinds::kOverlap,
              what + "; the outline is the exact union of them" +
                  (outline.onGrid ? ", computed on the grid of the four decimals written, as the "
                                    "union in full precision could not be written as a valid "
                                    "polygon"
                                  : "") +
                  apart);
    if (!outline.fault.empty()) {
        warnAbout(kinds::kUnionFault,
                  "the union of its triangles fails its check: " + outline.fault);
    }
    collapsed = outline.collapsedRings;
    return std::move(outline.rings);
}

// A ring that four decimals squeeze flat is no polygon a reader can take:
// it is left out, like a sliver too small to keep. How many were.
std::size_t TranslationPass::dropCollapsedRings(std::vector<Ring>& rings) {
    const auto first = std::remove_if(rings.begin(), rings.end(), collapsesWhenWritten);
    const auto collapsed = static_cast<std::size_t>(rings.end() - first);
    rings.erase(first, rings.end());
    return collapsed;
}

void TranslationPass::warnAboutDropped(const MergeResult& merged) const {
    if (merged.droppedTriangles > 0) {
        warnAbout(kinds::kTooSmall,
                  std::to_string(merged.droppedTriangles) +
                      " triangle(s) smaller than the corner tolerance were left out");
    }
}

// Ids that are no whole number are told once: each names an object of its
// own by its text, where reading their number would have merged objects.
void TranslationPass::warnAboutTextIds() const {
    if (tuples_.textIdRules == 0) {
        return;
    }
    const std::size_t others = tuples_.textIdRules - 1;
    warn("rule " + std::to_string(tuples_.firstTextIdRule) + " has the id \"" +
         tuples_.firstTextId + "\", which is no whole number: such an id names an object by its " +
         "text, compared as written" +
         (others == 0 ? std::string()
                      : " (" + std::to_string(others) + " more rule(s) have such an id)"));
}

// Lines are separated, not ended, by CR LF: the last line has no line end,
// and an object that writes nothing leaves no stray one behind.
void TranslationPass::writeObjectLine(const std::vector<Ring>& rings,
                                      const std::string& attributes) {
    line_.clear();
    if (linesWritten_ > 0) {
        line_ += "\r\n";
    }
    for (const Ring& ring : rings) {
        for (const Point& p : ring) {
            appendEffPoint(line_, p);
        }
    }
    line_ += attributes;
    eff_.write(line_);
    ++linesWritten_;
}

}  // namespace

bool Translator::translate(Console& console, const std::string& definitionsPath) {
    RepeatedWarnings warnings;
    const bool translated = translate(console, warnings, definitionsPath);
    warnings.summarize();
    return translated;
}

bool Translator::translate(Console& console, RepeatedWarnings& warnings,
                           const std::string& definitionsPath) {
    console.progress("Starting Translation Process....");
    attributeLines_ = AttributeLines();
    TranslationPass pass(work_, warnings, definitionsPath, attributeLines_);
    if (!pass.open() || !pass.run(console.meter())) {
        return false;
    }
    console.progress("Translation Done .....");
    console.progress("Creating Intermidiate File for Final Output...");
    console.progress("Conversion Process Done");
    return true;
}

}  // namespace vorn2shp
