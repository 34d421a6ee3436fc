#include "parse/parser.h"

#include "common/diagnostics.h"

namespace vorn2shp {

bool Parser::initialize() {
    if (!openFiles()) {
        return false;
    }
    fetchToken();
    return true;
}

bool Parser::parse(Console& console) {
    console.progress("Parsing the VORN Format File ....");
    const bool valid = program();
    // The verdict means nothing when first.imd could not be read, and the
    // run cannot go on when second.imd could not be written.
    if (!flushEcho() || ioFailed()) {
        return false;
    }
    if (!valid) {
        console.failureLine("Invaild VORN File ");
        return false;
    }
    console.progress("Parsing Done : Valid VORN File ...");
    if (lastRuleCutOff_) {
        warn("the last rule is incomplete and was ignored");
    }
    return true;
}

TokenKind Parser::fetchToken() {
    current_ = nextToken();
    ++tokensFetched_;
    return current_;
}

bool Parser::match(TokenKind kind) {
    if (current_ != kind) {
        return false;
    }
    fetchToken();
    return true;
}

bool Parser::program() { return ruleList() && match(TokenKind::END_OF_FILE); }

bool Parser::ruleList() { return rule() && ruleListTail(); }

// Further rules are optional and never commit: a rule that breaks off keeps
// the tokens it consumed and still ends the list successfully; program()
// then accepts the text only if that break came at the end of the text.
bool Parser::ruleListTail() {
    for (;;) {
        const std::uint64_t before = tokensFetched_;
        if (!rule()) {
            lastRuleCutOff_ = tokensFetched_ != before;
            return true;
        }
    }
}

bool Parser::rule() {
    return head() && match(TokenKind::COLON_DASH) && body() && match(TokenKind::PERIOD);
}

bool Parser::head() {
    return match(TokenKind::IDENTIFIER) && match(TokenKind::OPEN_PARAN) && argumentList() &&
           match(TokenKind::CLOSE_PARAN);
}

bool Parser::argumentList() { return argument() && argumentListTail(); }

// A comma commits: another argument must follow it.
bool Parser::argumentListTail() {
    while (match(TokenKind::COMMA)) {
        if (!argument()) {
            return false;
        }
    }
    return true;
}

bool Parser::argument() { return match(TokenKind::STRING) || match(TokenKind::IDENTIFIER); }

bool Parser::body() { return binding() && match(TokenKind::COMMA) && constraintList(); }

bool Parser::binding() {
    return match(TokenKind::IDENTIFIER) && match(TokenKind::EQUAL) && match(TokenKind::IDENTIFIER);
}

bool Parser::constraintList() { return constraint() && constraintListTail(); }

// A comma commits: another constraint must follow it.
bool Parser::constraintListTail() {
    while (match(TokenKind::COMMA)) {
        if (!constraint()) {
            return false;
        }
    }
    return true;
}

bool Parser::constraint() {
    return match(TokenKind::IDENTIFIER) && match(TokenKind::IDENTIFIER) &&
           (match(TokenKind::GREATER_EQUAL) || match(TokenKind::LESS_EQUAL)) &&
           match(TokenKind::IDENTIFIER);
}

}  // namespace vorn2shp
