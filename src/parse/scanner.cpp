#include "parse/scanner.h"

#include <cerrno>
#include <string_view>

#include "common/characters.h"
#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

// first.imd can run to hundreds of megabytes; it is read in large blocks and
// the echo is handed to second.imd in large blocks, never a character at a time.
constexpr std::size_t kInputBlock = 1 << 18;
constexpr std::size_t kEchoBlock = 1 << 16;
// The echo buffer holds a block and room for one more piece of an
// identifier, which never reaches beyond an input block.
constexpr std::size_t kEchoRoom = kEchoBlock + kInputBlock;

// Character classes, looked up by byte value: every character of first.imd
// passes through here, so a table beats a chain of comparisons. Plain ASCII
// ranges only: bytes 0x80 to 0xFF are never letters or digits, whatever the
// locale and whatever the signedness of char.
enum CharacterClass : unsigned char {
    kWhiteSpace = 1,           // space, tab, line feed, vertical tab, form feed, CR
    kBeginsIdentifier = 2,     // letters, digits, '-' and '+'
    kContinuesIdentifier = 4,  // letters, digits, '_' and '.'
    kSkippedOrEnd = 8          // white space and NUL: what readChar() must look at
};

struct CharacterClasses {
    unsigned char of[256] = {};

    constexpr CharacterClasses() {
        for (int c = 0; c < 256; ++c) {
            if (isSpace(static_cast<char>(c))) {
                of[c] = kWhiteSpace | kSkippedOrEnd;
            } else if (isLetterOrDigit(static_cast<char>(c))) {
                of[c] = static_cast<unsigned char>(kBeginsIdentifier | kContinuesIdentifier);
            }
        }
        of[0] = kSkippedOrEnd;
        of[static_cast<unsigned char>('-')] = kBeginsIdentifier;
        of[static_cast<unsigned char>('+')] = kBeginsIdentifier;
        of[static_cast<unsigned char>('_')] = kContinuesIdentifier;
        of[static_cast<unsigned char>('.')] = kContinuesIdentifier;
    }
};

constexpr CharacterClasses kClasses;

bool hasClass(char c, CharacterClass characterClass) {
    return (kClasses.of[static_cast<unsigned char>(c)] & characterClass) != 0;
}

bool beginsIdentifier(char c) { return hasClass(c, kBeginsIdentifier); }

// Passes over the white space from `in` on, counting its line feeds, and
// stops at the first other character or at `end`.
const char* skipWhiteSpace(const char* in, const char* end, std::size_t& lineFeeds) {
    for (; in < end && hasClass(*in, kWhiteSpace); ++in) {
        lineFeeds += *in == '\n' ? 1 : 0;
    }
    return in;
}

// Copies to `out` the characters from `in` on that continue an identifier,
// passing over the white space between them, and stops at the first other
// character (NUL included) or at `end`; `out` ends up behind the copy.
// Nearly all of a text is names and numbers, so this loop sees most of its
// characters: it looks each one up once.
const char* copyIdentifierRun(const char* in, const char* end, char*& out, std::size_t& lineFeeds) {
    for (; in < end; ++in) {
        const unsigned char classes = kClasses.of[static_cast<unsigned char>(*in)];
        if ((classes & kContinuesIdentifier) != 0) {
            *out++ = *in;
        } else if ((classes & kWhiteSpace) != 0) {
            lineFeeds += *in == '\n' ? 1 : 0;
        } else {
            break;
        }
    }
    return in;
}

// The second character of the tokens that may be two characters long, by
// their first; 0 for every other character.
char secondCharacterOf(char first) {
    switch (first) {
        case ':':
            return '-';
        case '<':
        case '>':
            return '=';
        default:
            return '\0';
    }
}

// The tokens that are one character and nothing more.
TokenKind singleCharacterKind(char c) {
    switch (c) {
        case '!':
            return TokenKind::NOT;
        case '(':
            return TokenKind::OPEN_PARAN;
        case ')':
            return TokenKind::CLOSE_PARAN;
        case ',':
            return TokenKind::COMMA;
        case ';':
            return TokenKind::PERIOD;
        case '=':
            return TokenKind::EQUAL;
        case '/':
            return TokenKind::DESCENDENT;
        default:
            return TokenKind::FAILED;
    }
}

// What second.imd says of the token at which a text is rejected: its echo,
// and how many characters the tokens before it echoed. Every character of
// first.imd that is not white space is echoed as it is consumed, and the
// token lines hold nothing else, so these count first.imd's characters.
struct EchoOfLastToken {
    std::uint64_t before = 0;
    std::string text;
};

// The last token is the last line of second.imd, or, when it FAILED, the
// unfinished piece after it (empty for a character that begins no token).
bool readEchoOfLastToken(const std::string& tokenPath, bool failed, EchoOfLastToken& echo) {
    LineReader reader;
    if (!reader.open(tokenPath)) {
        return false;
    }
    std::string line;
    std::string previous;
    std::uint64_t total = 0;
    while (reader.readLine(line)) {
        total += line.size();
        previous.swap(line);
    }
    // `previous` is now the piece after the last line end; `line` the line before it.
    echo.text = failed ? previous : line;
    echo.before = total - echo.text.size();
    return reader.error() == 0;
}

// Where in first.imd the token stands that begins after `before` characters
// that are not white space and takes `length` of them. False when first.imd
// ends first.
bool locateInPreparedText(const std::string& preparedPath, std::uint64_t before,
                          std::uint64_t length, TokenPlace& place) {
    LineReader reader(LineReader::CarriageReturns::Kept);
    if (!reader.open(preparedPath)) {
        return false;
    }
    std::uint64_t seen = 0;
    std::string_view line;
    for (std::size_t number = 1; reader.readLine(line); ++number) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\0') {
                return false;
            }
            if (hasClass(line[i], kWhiteSpace)) {
                continue;
            }
            if (seen == before) {
                place.line = number;
                place.column = i;
            }
            if (++seen == before + length) {
                place.length = place.line == number ? i + 1 - place.column : std::string::npos;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

Scanner::Scanner(TextPart part, const WorkDirectory& work)
    : part_(part),
      preparedPath_(work.pathOf(intermediate::kPreparedText)),
      tokenPath_(work.pathOf(intermediate::kTokens)),
      directory_(work.directory()),
      readUpTo_(part.begin),
      echo_(kEchoRoom) {}

// Whatever has been echoed reaches second.imd even when nobody asked for it.
Scanner::~Scanner() { flushEcho(); }

bool Scanner::openFiles() {
    if (!openInput() || !openOutput()) {
        return false;
    }
    inputBuffer_.resize(kInputBlock);
    advance();
    return true;
}

bool Scanner::openInput() {
    errno = 0;
    input_.reset(std::fopen(preparedPath_.c_str(), "rb"));
    if (input_ && part_.begin != 0 &&
        fseeko(input_.get(), static_cast<off_t>(part_.begin), SEEK_SET) != 0) {
        input_.reset();
    }
    if (input_) {
        return true;
    }
    inputFailed_ = true;
    reportFailure("cannot read", preparedPath_, errno != 0 ? errno : EIO);
    return false;
}

// The echo of a later part goes beside second.imd, so that it can be
// copied behind it within the file system.
bool Scanner::openOutput() {
    if (part_.begin == 0 ? output_.open(tokenPath_) : output_.openUnnamed(directory_)) {
        return true;
    }
    outputFailed_ = true;
    reportFailure("cannot create", tokenPath_, output_.error());
    return false;
}

bool Scanner::appendEchoOf(Scanner& later) {
    handOverEcho();
    later.handOverEcho();
    return !ioFailed() && !later.ioFailed() && output_.appendContentsOf(later.output_);
}

bool Scanner::refill() {
    if (inputEnded_ || !input_) {
        return false;
    }
    const std::uint64_t left = part_.end - readUpTo_;
    if (left == 0) {
        inputEnded_ = stoppedAtEnd_ = true;
        return false;
    }
    errno = 0;
    inputEnd_ = std::fread(
        inputBuffer_.data(), 1,
        left < inputBuffer_.size() ? static_cast<std::size_t>(left) : inputBuffer_.size(),
        input_.get());
    inputPos_ = 0;
    readUpTo_ += inputEnd_;
    if (inputEnd_ > 0) {
        if (meter_ != nullptr) {
            meter_->advance(inputEnd_);
        }
        return true;
    }
    inputEnded_ = true;
    if (std::ferror(input_.get())) {
        // A read that fails is not the end of the text: the tokens stop being
        // valid, and the parse reports the failure rather than a verdict.
        inputFailed_ = true;
        reportFailure("cannot read", preparedPath_, errno != 0 ? errno : EIO);
    }
    return false;
}

// The next character that is not white space; 0 at the end of the text,
// which a NUL byte marks just as the end of the file does. Every character
// of the text comes through here, so the usual case, a plain character
// within the block, is kept apart from the rest and small enough to inline.
inline char Scanner::readChar() {
    if (inputPos_ < inputEnd_) {
        const char c = inputBuffer_[inputPos_];
        if (!hasClass(c, kSkippedOrEnd)) {
            ++inputPos_;
            return c;
        }
    }
    return readCharAfterSkipping();
}

char Scanner::readCharAfterSkipping() {
    for (;;) {
        const char* const block = inputBuffer_.data();
        std::size_t lineFeeds = 0;
        const char* const in = skipWhiteSpace(block + inputPos_, block + inputEnd_, lineFeeds);
        line_ += lineFeeds;
        inputPos_ = static_cast<std::size_t>(in - block);
        if (inputPos_ < inputEnd_) {
            const char c = *in;
            ++inputPos_;
            if (c == '\0') {
                // Nothing after it is ever read: refill() now reports the end.
                inputEnded_ = true;
                inputPos_ = inputEnd_;
            }
            return c;
        }
        if (!refill()) {
            return '\0';
        }
    }
}

inline void Scanner::advance() {
    current_ = readChar();
    currentLine_ = line_;
}

inline void Scanner::echoChar(char c) {
    if (echoUsed_ == echo_.size()) {
        handOverEcho();
    }
    echo_[echoUsed_++] = c;
}

// Consumes the current character as part of the token being recognised.
inline void Scanner::take() {
    echoChar(current_);
    advance();
}

void Scanner::endEchoLine() {
    if (echo_.size() - echoUsed_ < 2) {
        handOverEcho();
    }
    echo_[echoUsed_] = '\r';
    echo_[echoUsed_ + 1] = '\n';
    echoUsed_ += 2;
    if (echoUsed_ >= kEchoBlock) {
        handOverEcho();
    }
}

// Moves the echoed text into the output file's own buffer.
void Scanner::handOverEcho() {
    if (output_.isOpen()) {
        output_.write(std::string_view(echo_.data(), echoUsed_));
        noteOutputFailure();
    }
    echoUsed_ = 0;
}

// A part read on speculation is read again whole when anything fails, and
// that reading tells the failure.
void Scanner::reportFailure(const char* what, const std::string& file, int error) const {
    if (!speculative()) {
        warn(std::string(what) + " " + describeFileError(file, error));
    }
}

void Scanner::noteOutputFailure() {
    if (output_.error() != 0 && !outputFailed_) {
        outputFailed_ = true;
        reportFailure("cannot write", tokenPath_, output_.error());
    }
}

bool Scanner::flushEcho() {
    handOverEcho();
    if (output_.isOpen()) {
        output_.flush();
        noteOutputFailure();
    }
    return !outputFailed_;
}

TokenKind Scanner::nextToken() {
    tokenLine_ = currentLine_;
    TokenKind result = TokenKind::FAILED;
    if (takeTokenWithinBlock(result)) {
        return result;
    }
    if (current_ == '\0' && stoppedAtEnd_) {
        return TokenKind::END_OF_FILE;
    }
    State state = startState(result);
    while (state != State::Accept && state != State::Failure) {
        state = step(state, result);
    }
    if (state == State::Failure) {
        // No line end: an unfinished string or identifier stays as an
        // unfinished last line of second.imd.
        return TokenKind::FAILED;
    }
    endEchoLine();
    return result;
}

// The usual token, a name, a number or punctuation, taken whole when it and
// the white space behind it end within the block, before any NUL: tens of
// millions of tokens come this way, with the places in the block and in the
// echo kept in locals. The same tokens as the state machine's, echoed the
// same way. False, with nothing consumed, for any other token (a string,
// the end of the text, a character that begins none) and at the end of the
// block: the state machine takes those.
bool Scanner::takeTokenWithinBlock(TokenKind& result) {
    const char* const block = inputBuffer_.data();
    const char* in = block + inputPos_;
    const char* const end = block + inputEnd_;
    // The token and its line end, at most the rest of the block and three.
    if (echo_.size() - echoUsed_ < inputEnd_ - inputPos_ + 3) {
        return false;
    }
    char* out = echo_.data() + echoUsed_;
    std::size_t lineFeeds = 0;
    TokenKind kind = TokenKind::IDENTIFIER;
    const char first = current_;
    *out++ = first;
    if (beginsIdentifier(first)) {
        in = copyIdentifierRun(in, end, out, lineFeeds);
    } else if (const char second = secondCharacterOf(first); second != '\0') {
        in = skipWhiteSpace(in, end, lineFeeds);
        if (in == end) {
            return false;
        }
        const bool pair = *in == second;
        if (pair) {
            *out++ = *in++;
            in = skipWhiteSpace(in, end, lineFeeds);
        }
        kind = first == ':'   ? (pair ? TokenKind::COLON_DASH : TokenKind::COLON)
               : first == '<' ? (pair ? TokenKind::LESS_EQUAL : TokenKind::LESS)
                              : (pair ? TokenKind::GREATER_EQUAL : TokenKind::GREATER);
    } else {
        kind = singleCharacterKind(first);
        if (kind == TokenKind::FAILED) {
            return false;
        }
        in = skipWhiteSpace(in, end, lineFeeds);
    }
    // What the echo holds beyond echoUsed_ counts only once this is done.
    if (in == end || *in == '\0') {
        return false;
    }
    current_ = *in++;
    *out++ = '\r';
    *out++ = '\n';
    echoUsed_ = static_cast<std::size_t>(out - echo_.data());
    inputPos_ = static_cast<std::size_t>(in - block);
    line_ += lineFeeds;
    currentLine_ = line_;
    result = kind;
    if (echoUsed_ >= kEchoBlock) {
        handOverEcho();
    }
    return true;
}

// Nothing of this is kept while scanning, which every character of the
// text passes through: the files tell it again, and it is asked only once,
// for the token at which a text is rejected.
TokenPlace Scanner::tokenPlace(TokenKind kind) {
    TokenPlace place;
    place.line = tokenLine_;
    if (kind == TokenKind::END_OF_FILE) {
        place.endOfText = true;
        return place;
    }
    EchoOfLastToken echo;
    if (!flushEcho() || !readEchoOfLastToken(tokenPath_, kind == TokenKind::FAILED, echo)) {
        return place;
    }
    // A FAILED token either never began, at a character that begins no
    // token, or was cut off by the end of the text.
    place.endOfText = kind == TokenKind::FAILED && !echo.text.empty();
    const std::uint64_t length = echo.text.empty() ? 1 : echo.text.size();
    TokenPlace found = place;
    if (locateInPreparedText(preparedPath_, echo.before, length, found)) {
        place = found;
    }
    return place;
}

Scanner::State Scanner::step(State state, TokenKind& result) {
    switch (state) {
        case State::Start:
            return startState(result);
        case State::Colon:
            return secondCharacterState('-', TokenKind::COLON_DASH, TokenKind::COLON, result);
        case State::Less:
            return secondCharacterState('=', TokenKind::LESS_EQUAL, TokenKind::LESS, result);
        case State::Greater:
            return secondCharacterState('=', TokenKind::GREATER_EQUAL, TokenKind::GREATER, result);
        case State::String:
            return stringState(result);
        case State::Accept:
        case State::Failure:
            break;
    }
    return state;
}

Scanner::State Scanner::startState(TokenKind& result) {
    // Tested first, so '-' and '+' always begin an identifier.
    if (beginsIdentifier(current_)) {
        return identifierState(result);
    }
    if (current_ == '\0') {
        if (inputFailed_) {
            return State::Failure;
        }
        echoChar('\0');
        result = TokenKind::END_OF_FILE;
        return State::Accept;
    }
    const TokenKind single = singleCharacterKind(current_);
    if (single != TokenKind::FAILED) {
        take();
        result = single;
        return State::Accept;
    }
    switch (current_) {
        case ':':
            take();
            return State::Colon;
        case '<':
            take();
            return State::Less;
        case '>':
            take();
            return State::Greater;
        case '\'':
            take();
            return State::String;
        default:
            return State::Failure;  // neither written nor consumed
    }
}

// After ':', '<' or '>': one more character may complete a two-character token.
Scanner::State Scanner::secondCharacterState(char second, TokenKind pair, TokenKind single,
                                             TokenKind& result) {
    if (current_ == second) {
        take();
        result = pair;
    } else {
        result = single;
    }
    return State::Accept;
}

// Everything up to the closing quote belongs to the string, white space
// apart; the end of the text inside a string is a fault.
Scanner::State Scanner::stringState(TokenKind& result) {
    while (current_ != '\'' && current_ != '\0') {
        take();
    }
    if (current_ == '\0') {
        return State::Failure;
    }
    take();
    result = TokenKind::STRING;
    return State::Accept;
}

// An identifier that runs into the end of the text is a fault: a complete
// text ends with the ';' of its last rule.
Scanner::State Scanner::identifierState(TokenKind& result) {
    echoChar(current_);
    takeRestOfIdentifier();
    advance();
    if (current_ == '\0') {
        return State::Failure;
    }
    result = TokenKind::IDENTIFIER;
    return State::Accept;
}

// Echoes the characters that continue the identifier whose first character
// was just consumed, passing over the white space between them, and stops
// before the first other character (NUL included) or at the end of the
// text, with room made beforehand in the echo for the rest of each block.
void Scanner::takeRestOfIdentifier() {
    do {
        const char* const block = inputBuffer_.data();
        const char* const blockEnd = block + inputEnd_;
        if (echo_.size() - echoUsed_ < inputEnd_ - inputPos_) {
            handOverEcho();
        }
        char* out = echo_.data() + echoUsed_;
        std::size_t lineFeeds = 0;
        const char* const in = copyIdentifierRun(block + inputPos_, blockEnd, out, lineFeeds);
        echoUsed_ = static_cast<std::size_t>(out - echo_.data());
        inputPos_ = static_cast<std::size_t>(in - block);
        line_ += lineFeeds;
        if (in < blockEnd) {
            return;
        }
    } while (refill());
}

}  // namespace vorn2shp
