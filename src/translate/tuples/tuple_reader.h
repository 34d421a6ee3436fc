// Reads the tuples out of second.imd, the parser's one-token-per-line copy
// of the constraint text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/text_file.h"
#include "tuples/triangle_corners.h"

namespace vorn2shp {

struct Tuple {
    long rule = 0;                          // the rule's number in the text, counted from 1
    std::string id;                         // as objectId() writes it
    bool idIsText = false;                  // the id is no whole number
    std::size_t constraintCount = 0;        // how many constraints the rule gives
    std::array<ConstraintLine, 3> lines{};  // the first three of them
    bool cutOff = false;                    // the rule breaks off before its ";"
    // Why the first three constraints cannot be read as lines in x and y
    // ("has \"nan\" for a number, ..."), said of the rule; empty when they can.
    std::string misreading;
};

// A tuple is a rule whose binding is an "id" line followed by an "=" line;
// the id and the constraints follow it. A rule that binds another name is
// passed over with a warning.
class TupleReader {
public:
    using NoteSink = std::function<void(std::string)>;

    // Where the warnings about passed-over rules go instead of stderr: a
    // reader on a thread of its own hands them on in order with its tuples.
    void reportNotesTo(NoteSink sink) { noteSink_ = std::move(sink); }

    // False when second.imd cannot be opened; error() tells why.
    bool open(const std::string& path);

    // The bytes of second.imd read so far.
    std::uint64_t bytesRead() const { return lines_.bytesRead(); }

    // Reads on to the next tuple. False at the end of the file, or when a
    // read failed (error() is then non-zero).
    bool next(Tuple& tuple);

    int error() const { return lines_.error(); }
    const std::string& path() const { return lines_.path(); }

private:
    // What the token before an "=" was: "id", another name, or neither.
    enum class Previous { Other, Id, OtherName };

    bool nextToken();
    void notePrevious();
    // The token just read is read again by the next nextToken().
    void putBack() { putBack_ = !exhausted_; }
    bool readTuple(Tuple& tuple);
    bool readConstraint(ConstraintLine& line, std::string& misreading);
    long ruleNumber() const { return rules_ > 0 ? rules_ : 1; }
    void note(std::string message) const;

    LineReader lines_;
    std::string_view token_;  // the line just read, in the reader's buffer
    Previous previous_ = Previous::Other;
    std::string previousName_;  // the name, when previous_ is OtherName
    bool putBack_ = false;
    bool exhausted_ = false;
    long rules_ = 0;
    NoteSink noteSink_;
};

}  // namespace vorn2shp
