#include "tuples/tuple_reader.h"

#include <string_view>

#include "common/characters.h"
#include "common/diagnostics.h"
#include "tuples/term_values.h"

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
    bool isWholeNumber = true;
    tuple.id = objectId(token_, isWholeNumber);
    tuple.idIsText = !isWholeNumber;
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
        std::string& misreading =
            tuple.constraintCount < tuple.lines.size() ? tuple.misreading : ignored;
        if (token_ != "," || !readConstraint(line, misreading)) {
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

namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string noDecimalNumber(std::string_view text) {
    return "has " + quoted(text) + " for a number, which is no decimal number";
}

// Why a term cannot be read, said of the rule; empty when it can.
std::string termMisreading(std::string_view text, TermFault fault) {
    switch (fault) {
        case TermFault::NoDecimalNumber:
            return "has the term " + quoted(text) + ", whose number is no decimal number";
        case TermFault::NoLetter:
            return "has the term " + quoted(text) + ", which is in neither x nor y";
        case TermFault::None:
            break;
    }
    return {};
}

}  // namespace

// Reads first term, second term, comparison and constant; each term goes to
// the coefficient its letter names, whichever comes first. False, with the
// token that broke the pattern left in token_, when they are not all there.
// What cannot be read as a line is kept in `misreading`, the first such
// thing only.
bool TupleReader::readConstraint(ConstraintLine& line, std::string& misreading) {
    std::array<Term, 2> terms;
    std::string firstTerm;  // token_ views the reader's buffer, which the next read reuses
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (!nextToken() || !isIdentifier(token_)) {
            return false;
        }
        const TermFault fault = readTerm(token_, terms[i]);
        if (fault != TermFault::None && misreading.empty()) {
            misreading = termMisreading(token_, fault);
        }
        if (i == 0) {
            firstTerm.assign(token_.data(), token_.size());
        } else if (misreading.empty() && terms[0].letter == terms[1].letter) {
            misreading = std::string("gives ") + terms[0].letter +
                         " in both terms of one constraint (" + quoted(firstTerm) + ", " +
                         quoted(token_) + ")";
        }
    }
    if (!nextToken() || !isComparison(token_)) {
        return false;
    }
    if (!nextToken() || !isIdentifier(token_)) {
        return false;
    }
    WrittenNumber constant;
    if (!readWrittenNumber(token_, constant) && misreading.empty()) {
        misreading = noDecimalNumber(token_);
    }
    const Term& x = terms[0].letter == 'x' ? terms[0] : terms[1];
    const Term& y = terms[0].letter == 'x' ? terms[1] : terms[0];
    line = ConstraintLine{x.coefficient.value,    y.coefficient.value,    constant.value,
                          x.coefficient.halfUnit, y.coefficient.halfUnit, constant.halfUnit};
    return true;
}

}  // namespace vorn2shp
