#include "parse/parser.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "common/diagnostics.h"
#include "common/joined_thread.h"
#include "common/text_file.h"

namespace vorn2shp {

namespace {

// A rule of first.imd is one line of at most a few hundred bytes, so a ';'
// turns up soon after any place; past this reach the text is parsed in one part.
constexpr std::size_t kSplitSearchBlock = 1 << 16;
constexpr std::uint64_t kSplitSearchReach = 1 << 20;

// Just after the first ';' from `earlierShare` of first.imd on; 0 when the
// text is too small to be worth splitting or no ';' follows there soon.
// Only a guess: the earlier part's parse tells whether a rule ends there.
std::uint64_t splitPointOf(const ParseSplit& split, const std::string& preparedPath) {
    struct stat status {};
    if (stat(preparedPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) < split.fromSize) {
        return 0;
    }
    auto offset =
        static_cast<std::uint64_t>(static_cast<double>(status.st_size) * split.earlierShare);
    const FilePtr file(std::fopen(preparedPath.c_str(), "rb"));
    if (!file || fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
        return 0;
    }
    std::vector<char> block(kSplitSearchBlock);
    for (std::uint64_t searched = 0; searched < kSplitSearchReach;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file.get());
        if (got == 0) {
            return 0;
        }
        if (const void* found = std::memchr(block.data(), ';', got)) {
            return offset +
                   static_cast<std::uint64_t>(static_cast<const char*>(found) - block.data()) + 1;
        }
        offset += got;
        searched += got;
    }
    return 0;
}

}  // namespace

bool Parser::initialize() {
    splitAt_ = splitPointOf(split_, work_.pathOf(intermediate::kPreparedText));
    if (splitAt_ != 0 && start(TextPart{0, splitAt_})) {
        return true;
    }
    splitAt_ = 0;
    return start(TextPart{});
}

// A scanner from scratch: the one before it, if any, has put its echo into
// second.imd before this one creates the file anew.
bool Parser::start(TextPart part) {
    scanner_.reset();
    scanner_.emplace(part, work_);
    current_ = TokenKind::END_OF_FILE;
    tokensFetched_ = 0;
    lastRuleCutOff_ = false;
    if (!scanner_->openFiles()) {
        return false;
    }
    scanner_->reportProgressTo(meter_);
    fetchToken();
    return true;
}

bool Parser::parse(Console& console) {
    console.progress("Parsing the VORN Format File ....");
    meter_ = console.meter();
    if (scanner_) {
        scanner_->reportProgressTo(meter_);
    }
    const bool valid = (splitAt_ != 0 && parseInTwoParts()) || parseFromTheStart();
    // The verdict means nothing when first.imd could not be read, and the
    // run cannot go on when second.imd could not be written.
    if (!scanner_->flushEcho() || scanner_->ioFailed()) {
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

// The one-part parse, also where the parse in two parts gave no verdict:
// rejections, their places and what second.imd holds then are its own.
bool Parser::parseFromTheStart() {
    if (splitAt_ != 0) {
        splitAt_ = 0;
        if (!start(TextPart{})) {
            return false;
        }
    }
    return program();
}

// The earlier part is parsed here while a thread parses the later one. The
// two hold together only when this part ends cleanly at the split point: a
// complete rule whose ';' is the last token before it, nothing cut off, no
// NUL byte, no failure. The tokens of the later part then follow, in the
// same state of the grammar, exactly as in one part. Otherwise, or when the
// later part is rejected, false: the text is parsed again in one part.
bool Parser::parseInTwoParts() {
    Parser later(ParseSplit{}, work_);
    later.meter_ = meter_;
    if (!later.start(TextPart{splitAt_, TextPart::kToTheEnd})) {
        return false;
    }
    bool laterAccepted = false;
    bool earlierEndsCleanly = false;
    try {
        const JoinedThread thread([&later, &laterAccepted] {
            // Memory that runs out beside this part costs only the speed.
            try {
                laterAccepted = later.parseLaterPart();
            } catch (...) {
                laterAccepted = false;
            }
        });
        earlierEndsCleanly = ruleList() && current_ == TokenKind::END_OF_FILE && !lastRuleCutOff_ &&
                             scanner_->stoppedAtEndOfPart() && !scanner_->ioFailed();
    } catch (const std::system_error&) {
        return false;  // no thread to be had
    }
    if (!earlierEndsCleanly || !laterAccepted || !scanner_->appendEchoOf(*later.scanner_)) {
        return false;
    }
    lastRuleCutOff_ = later.lastRuleCutOff_;
    return true;
}

// From just after the ';' of a rule on: the rest of the rule list.
bool Parser::parseLaterPart() {
    ruleListTail();
    return match(TokenKind::END_OF_FILE) && scanner_->flushEcho() && !scanner_->ioFailed();
}

TokenKind Parser::fetchToken() {
    current_ = scanner_->nextToken();
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
