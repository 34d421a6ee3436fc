#include "tuple_reader.h"

#include <string_view>

#include "common/characters.h"
#include "common/diagnostics.h"
#include "term_values.h"

namespace vorn2shp {

namespace {

// Terms, constants and ids are identifiers: they start with a letter, a
// digit or a sign. Anything else in their place (";" of a rule that stops
// early, or the NUL lines the parser writes at the end of the text) means
// the rule was cut off.
bool isIdentifier(std::string_view token) {
    return !token.empty() && (isLetterOrDigit(token[0]) || token[0] == '+' || token[0] == '-');
}

bool isComparison(std::string_view token) { return token == ">=" || token == "<="; }

}  // namespace

bool TupleReader::open(const std::string& path) { return lines_.open(path); }

void TupleReader::note(std::string message) const {
    if (noteSink_) {
        noteSink_(std::move(message));
    } else {
        warn(message);
    }
}

bool TupleReader::nextToken() {
    if (putBack_) {
        putBack_ = false;
        return true;
    }
    exhausted_ = !lines_.readLine(token_);
    return !exhausted_;
}

bool TupleReader::next(Tuple& tuple) {
    previous_ = Previous::Other;
    while (nextToken()) {
        if (token_ == ":-") {
            ++rules_;
        } else if (token_ == "=" && previous_ == Previous::Id) {
            if (readTuple(tuple)) {
                return true;
            }
            previous_ = Previous::Other;
            continue;
        } else if (token_ == "=" && previous_ == Previous::OtherName) {
            note("rule " + std::to_string(ruleNumber()) + " is passed over: its binding names \"" +
                 previousName_ + "\", not \"id\"");
        }
        notePrevious();
    }
    return false;
}

// Keeps what an "=" next would need of the token just read. token_ views the
// reader's buffer, which the next read reuses, so a name is copied; "id" and
// the punctuation around it need no copy.
void TupleReader::notePrevious() {
    if (token_ == "id") {
        previous_ = Previous::Id;
    } else if (isIdentifier(token_)) {
        previous_ = Previous::OtherName;
        previousName_.assign(token_.data(), token_.size());
    } else {
        previous_ = Previous::Other;
    }
}

// Reads the id and the constraints behind an "id" "=" pair. False when the
// rule ends before its id, so there is no object to give the tuple to.
bool TupleReader::readTuple(Tuple& tuple) {
    tuple = Tuple{};
    tuple.rule = ruleNumber();
    if (!nextToken() || !isIdentifier(token_)) {
        note("rule " + std::to_string(tuple.rule) + " is passed over: it ends before its id");
        putBack();
        return false;
    }
    tuple.id = objectId(token_);
    for (;;) {
        if (!nextToken()) {
            tuple.cutOff = true;
            return true;
        }
        if (token_ == ";") {
            return true;
        }
        ConstraintLine line;
        // Only the first three constraints are used, and only theirs count.
        std::string ignored;
        std::string& nonDecimal =
            tuple.constraintCount < tuple.lines.size() ? tuple.nonDecimalNumber : ignored;
        if (token_ != "," || !readConstraint(line, nonDecimal)) {
            // Whatever broke the rule off is read again as the start of
            // the next one.
            tuple.cutOff = true;
            putBack();
            return true;
        }
        if (tuple.constraintCount < tuple.lines.size()) {
            tuple.lines[tuple.constraintCount] = line;
        }
        ++tuple.constraintCount;
    }
}

// Reads first term, second term, comparison and constant. False, with the
// token that broke the pattern left in token_, when they are not all there.
bool TupleReader::readConstraint(ConstraintLine& line, std::string& nonDecimalNumber) {
    if (!nextToken() || !isIdentifier(token_)) {
        return false;
    }
    line.a = readNumber(termCoefficient, nonDecimalNumber);
    if (!nextToken() || !isIdentifier(token_)) {
        return false;
    }
    line.b = readNumber(termCoefficient, nonDecimalNumber);
    if (!nextToken() || !isComparison(token_)) {
        return false;
    }
    if (!nextToken() || !isIdentifier(token_)) {
        return false;
    }
    line.c = readNumber(constantValue, nonDecimalNumber);
    return true;
}

double TupleReader::readNumber(double (*read)(std::string_view),
                               std::string& nonDecimalNumber) const {
    if (nonDecimalNumber.empty() && startsWithNonDecimalNumber(token_)) {
        nonDecimalNumber.assign(token_.data(), token_.size());
    }
    return read(token_);
}

}  // namespace vorn2shp
