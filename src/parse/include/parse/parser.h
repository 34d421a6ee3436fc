// Checks first.imd against the grammar of the constraint language and, as a
// side effect of scanning, writes second.imd with one token per line.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "common/console.h"
#include "scanner.h"

namespace vorn2shp {

// When the parse of a large first.imd runs on two cores: the later part of
// the text is parsed beside the earlier one, from just after the first ';'
// from `earlierShare` of its size on. Half and half is best: the later
// part's tokens are copied behind the earlier part's once both are done.
// Tests lower the size to make small texts split where they choose.
struct ParseSplit {
    std::uint64_t fromSize = std::uint64_t{8} << 20;
    double earlierShare = 0.5;
};

// A recursive-descent recogniser with one token of lookahead: one method per
// grammar rule. Every list tail is a loop, so the length of the text never
// reaches the call stack.
class Parser {
public:
    // first.imd and second.imd are in `work`.
    explicit Parser(ParseSplit split = {}, WorkDirectory work = {})
        : split_(split), work_(std::move(work)) {}
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Opens first.imd and second.imd and reads the first token. False when a
    // file cannot be used; the reason has been reported on stderr.
    bool initialize();

    // Prints the parsing lines on `console`. True for an accepted text; false after
    // "Invaild VORN File " (or a read or write failure reported on stderr).
    // second.imd is complete on disk when it returns, either way. The bytes
    // of first.imd are told to the console's meter as they are read.
    bool parse(Console& console);

    // After a rejection: where the token that does not fit stands.
    TokenPlace rejectedAt() { return scanner_->tokenPlace(current_); }

    bool ioFailed() const { return !scanner_ || scanner_->ioFailed(); }

    // After parse(): whether the text was parsed in two parts.
    bool parsedInTwoParts() const { return splitAt_ != 0; }

private:
    bool start(TextPart part);
    bool parseInTwoParts();
    bool parseFromTheStart();
    bool parseLaterPart();

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

    ParseSplit split_;
    WorkDirectory work_;
    ProgressMeter* meter_ = nullptr;
    std::uint64_t splitAt_ = 0;  // where the later part begins; 0 for one part
    std::optional<Scanner> scanner_;
    TokenKind current_ = TokenKind::END_OF_FILE;
    std::uint64_t tokensFetched_ = 0;
    bool lastRuleCutOff_ = false;
};

}  // namespace vorn2shp
