// Checks first.imd against the grammar of the constraint language and, as a
// side effect of scanning, writes second.imd with one token per line.
#pragma once

#include <cstdint>

#include "common/console.h"
#include "scanner.h"

namespace vorn2shp {

// A recursive-descent recogniser with one token of lookahead: one method per
// grammar rule. Every list tail is a loop, so the length of the text never
// reaches the call stack.
class Parser : public Scanner {
public:
    Parser() = default;

    // Opens first.imd and second.imd and reads the first token. False when a
    // file cannot be used; the reason has been reported on stderr.
    bool initialize();

    // Prints the parsing lines on `console`. True for an accepted text; false after
    // "Invaild VORN File " (or a read or write failure reported on stderr).
    // second.imd is complete on disk when it returns, either way.
    bool parse(Console& console);

    // After a rejection: where the token that does not fit stands.
    TokenPlace rejectedAt() { return tokenPlace(current_); }

private:
    TokenKind fetchToken();
    bool match(TokenKind kind);

    bool program();
    bool ruleList();
    bool ruleListTail();
    bool rule();
    bool head();
    bool argumentList();
    bool argumentListTail();
    bool argument();
    bool body();
    bool binding();
    bool constraintList();
    bool constraintListTail();
    bool constraint();

    TokenKind current_ = TokenKind::END_OF_FILE;
    std::uint64_t tokensFetched_ = 0;
    bool lastRuleCutOff_ = false;
};

}  // namespace vorn2shp
