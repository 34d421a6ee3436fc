// Splits the prepared constraint text of first.imd into tokens and echoes
// every token as one line of second.imd, the file the translator reads.
//
// White space is dropped before the state machine sees a character, so it
// separates nothing: "i d" is the name "id" and ": -" is ":-".
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/progress_meter.h"
#include "common/text_file.h"
#include "common/work_directory.h"

namespace vorn2shp {

// Token kinds with the codes the system has always used. DASH, PLUS and
// MINUS are never produced: a sign always begins an identifier.
enum class TokenKind : std::int32_t {
    FAILED = -2,
    END_OF_FILE = -1,
    COLON = 0,
    COLON_DASH = 1,
    COMMA = 2,
    PERIOD = 3,  // the ';' that ends a rule in first.imd
    OPEN_PARAN = 5,
    CLOSE_PARAN = 6,
    LESS = 7,
    LESS_EQUAL = 8,
    GREATER = 9,
    GREATER_EQUAL = 10,
    EQUAL = 11,
    NOT = 12,
    DESCENDENT = 15,
    STRING = 17,
    IDENTIFIER = 18,
    DASH = 19,
    PLUS = 30,
    MINUS = 31,
};

// Where a token stands in first.imd.
struct TokenPlace {
    std::size_t line = 1;    // the line it begins on, counted from 1
    std::size_t column = 0;  // the byte it begins at within that line, from 0
    // Its bytes on that line, white space inside it included: npos when it
    // goes on past the line's end, 0 when nothing of it was read.
    std::size_t length = 0;
    // It is the end of the text, or a name or string that the end cut off.
    bool endOfText = false;
};

// The bytes of first.imd that one scanner reads: all of them by default.
// A part that begins later echoes its tokens to a file of its own without
// a name, beside second.imd. A scanner that reads only part of the text
// works on speculation and reports no read or write failure: should
// anything fail, the whole text is read again by one that does.
struct TextPart {
    static constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t begin = 0;
    std::uint64_t end = kToTheEnd;
};

class Scanner {
public:
    explicit Scanner(TextPart part = {}, const WorkDirectory& work = {});
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;
    ~Scanner();

    // Opens first.imd for reading and creates second.imd (or, for a part
    // that begins later, its own file), then reads the first character.
    // False when either file cannot be used (reported for second.imd).
    bool openFiles();

    // The part's end was reached, after nothing but white space since the
    // last token: END_OF_FILE there has echoed nothing.
    bool stoppedAtEndOfPart() const { return stoppedAtEnd_ && current_ == '\0'; }

    // Puts the echo of `later`, the scanner of the part that begins where
    // this one ends, behind this one's in second.imd. False on any failure.
    bool appendEchoOf(Scanner& later);

    // Tells `meter` of the bytes of first.imd read so far and from now on
    // (nothing when null).
    void reportProgressTo(ProgressMeter* meter) {
        meter_ = meter;
        if (meter_ != nullptr) {
            meter_->advance(readUpTo_ - part_.begin);
        }
    }

    // Recognises the token at the current character, echoes it to
    // second.imd and returns its kind. FAILED leaves the offending character
    // unconsumed; END_OF_FILE is returned again on every later call.
    TokenKind nextToken();

    // Puts everything echoed so far into second.imd on disk. False when a
    // write failed (reported).
    bool flushEcho();

    // Where the last token returned, of kind `kind`, stands. For a character
    // that begins no token (FAILED, with nothing read) it is that one
    // character. Reads first.imd and second.imd again: for the rare case.
    TokenPlace tokenPlace(TokenKind kind);

    // True once reading first.imd or writing second.imd has failed; the
    // failure has been reported and the tokens from then on mean nothing.
    bool ioFailed() const { return inputFailed_ || outputFailed_; }

private:
    enum class State {
        Failure = -1,
        Start = 0,
        Accept = 1,
        Colon = 2,
        Less = 3,
        Greater = 4,
        String = 5
    };

    // Inline, and defined in scanner.cpp where alone they are used: every
    // character of the text passes through them.
    inline char readChar();
    char readCharAfterSkipping();
    inline void advance();
    bool refill();

    bool takeTokenWithinBlock(TokenKind& result);
    State step(State state, TokenKind& result);
    State startState(TokenKind& result);
    State secondCharacterState(char second, TokenKind pair, TokenKind single, TokenKind& result);
    State stringState(TokenKind& result);
    State identifierState(TokenKind& result);
    inline void echoChar(char c);
    inline void take();
    void takeRestOfIdentifier();
    void endEchoLine();
    void handOverEcho();
    void noteOutputFailure();
    void reportFailure(const char* what, const std::string& file, int error) const;
    bool openInput();
    bool openOutput();
    bool speculative() const { return part_.begin != 0 || part_.end != TextPart::kToTheEnd; }

    TextPart part_;
    std::string preparedPath_;  // first.imd in the work directory
    std::string tokenPath_;     // second.imd in the work directory
    std::string directory_;     // the work directory, where a later part's echo goes
    ProgressMeter* meter_ = nullptr;
    std::uint64_t readUpTo_ = 0;  // the offset in first.imd of the next block
    bool stoppedAtEnd_ = false;   // the end of the part was reached
    FilePtr input_;
    OutputFile output_;
    std::vector<char> inputBuffer_;
    std::size_t inputPos_ = 0;
    std::size_t inputEnd_ = 0;
    bool inputEnded_ = false;  // end of file, or a NUL byte, has been read
    bool inputFailed_ = false;
    bool outputFailed_ = false;
    std::vector<char> echo_;  // echoed text not yet handed to output_
    std::size_t echoUsed_ = 0;
    char current_ = '\0';   // the next unconsumed character; 0 at the end
    std::size_t line_ = 1;  // line of first.imd that reading has reached
    std::size_t currentLine_ = 1;

    std::size_t tokenLine_ = 1;  // line of first.imd where the last token begins
};

}  // namespace vorn2shp
