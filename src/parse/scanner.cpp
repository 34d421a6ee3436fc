#include "parse/scanner.h"

#include <cerrno>
#include <string_view>

#include "common/characters.h"
#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

constexpr const char* kPreparedText = "first.imd";
constexpr const char* kTokenFile = "second.imd";

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
bool continuesIdentifier(char c) { return hasClass(c, kContinuesIdentifier); }

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
bool readEchoOfLastToken(bool failed, EchoOfLastToken& echo) {
    LineReader reader;
    if (!reader.open(kTokenFile)) {
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
bool locateInPreparedText(std::uint64_t before, std::uint64_t length, TokenPlace& place) {
    LineReader reader(LineReader::CarriageReturns::Kept);
    if (!reader.open(kPreparedText)) {
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

Scanner::Scanner() : echo_(kEchoRoom) {}

// Whatever has been echoed reaches second.imd even when nobody asked for it.
Scanner::~Scanner() { flushEcho(); }

bool Scanner::openFiles() {
    errno = 0;
    input_.reset(std::fopen(kPreparedText, "rb"));
    if (!input_) {
        inputFailed_ = true;
        warn("cannot read " + describeFileError(kPreparedText, errno != 0 ? errno : EIO));
        return false;
    }
    if (!output_.open(kTokenFile)) {
        outputFailed_ = true;
        warn("cannot create " + describeFileError(kTokenFile, output_.error()));
        return false;
    }
    inputBuffer_.resize(kInputBlock);
    advance();
    return true;
}

bool Scanner::refill() {
    if (inputEnded_ || !input_) {
        return false;
    }
    errno = 0;
    inputEnd_ = std::fread(inputBuffer_.data(), 1, inputBuffer_.size(), input_.get());
    inputPos_ = 0;
    if (inputEnd_ > 0) {
        return true;
    }
    inputEnded_ = true;
    if (std::ferror(input_.get())) {
        // A read that fails is not the end of the text: the tokens stop being
        // valid, and the parse reports the failure rather than a verdict.
        inputFailed_ = true;
        warn("cannot read " + describeFileError(kPreparedText, errno != 0 ? errno : EIO));
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
        if (inputPos_ == inputEnd_ && !refill()) {
            return '\0';
        }
        const char c = inputBuffer_[inputPos_++];
        if (!hasClass(c, kWhiteSpace)) {
            if (c == '\0') {
                // Nothing after it is ever read: refill() now reports the end.
                inputEnded_ = true;
                inputPos_ = inputEnd_;
            }
            return c;
        }
        if (c == '\n') {
            ++line_;
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

// Consumes the current character, which continues an identifier, together
// with the characters right behind it that continue it too, and echoes them
// in one piece: nearly all of the text is names and numbers, and what needs
// a closer look (white space, line feeds, NUL, the end of the block) ends
// the piece. The current character is the one just before inputPos_.
// The characters are copied as they are tested, into room made beforehand
// for the rest of the block.
void Scanner::takeIdentifierPiece() {
    const char* in = inputBuffer_.data() + inputPos_ - 1;
    const char* const blockEnd = inputBuffer_.data() + inputEnd_;
    if (echo_.size() - echoUsed_ < static_cast<std::size_t>(blockEnd - in)) {
        handOverEcho();
    }
    char* out = echo_.data() + echoUsed_;
    *out++ = *in++;
    while (in < blockEnd && continuesIdentifier(*in)) {
        *out++ = *in++;
    }
    echoUsed_ = static_cast<std::size_t>(out - echo_.data());
    inputPos_ = static_cast<std::size_t>(in - inputBuffer_.data());
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

void Scanner::noteOutputFailure() {
    if (output_.error() != 0 && !outputFailed_) {
        outputFailed_ = true;
        warn("cannot write " + describeFileError(kTokenFile, output_.error()));
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
    if (!flushEcho() || !readEchoOfLastToken(kind == TokenKind::FAILED, echo)) {
        return place;
    }
    // A FAILED token either never began, at a character that begins no
    // token, or was cut off by the end of the text.
    place.endOfText = kind == TokenKind::FAILED && !echo.text.empty();
    const std::uint64_t length = echo.text.empty() ? 1 : echo.text.size();
    TokenPlace found = place;
    if (locateInPreparedText(echo.before, length, found)) {
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
        case State::Identifier:
            return identifierState(result);
        case State::Accept:
        case State::Failure:
            break;
    }
    return state;
}

Scanner::State Scanner::startState(TokenKind& result) {
    // Tested first, so '-' and '+' always begin an identifier.
    if (beginsIdentifier(current_)) {
        takeIdentifierPiece();
        return State::Identifier;
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
    while (continuesIdentifier(current_)) {
        takeIdentifierPiece();
    }
    if (current_ == '\0') {
        return State::Failure;
    }
    result = TokenKind::IDENTIFIER;
    return State::Accept;
}

}  // namespace vorn2shp
