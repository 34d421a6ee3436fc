// Whole-line reading and checked writing of the text files that the stages
// hand on to each other.
//
// Lines are never cut into pieces, however long they are. The intermediate
// files are written with CR LF line ends, and a CR in front of a LF is part of
// the line end when they are read back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp {

class ProgressMeter;

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads a text file line by line, each line whole.
//
// A file yields one line more than it has line feeds: a file that ends with a
// line feed yields a last empty line, and an empty file yields one empty line.
// The line feed is not part of the line; nor is a carriage return in front of
// it, unless the reader is asked to keep every byte but the line feed.
class LineReader {
public:
    enum class CarriageReturns { PartOfLineEnd, Kept };

    explicit LineReader(CarriageReturns carriageReturns = CarriageReturns::PartOfLineEnd)
        : carriageReturns_(carriageReturns) {}

    // Opens `path` for reading. False when it cannot be opened or is no
    // regular file (a FIFO or a device is refused without waiting on it);
    // error() tells why.
    bool open(const std::string& path);

    // Goes back to the first line. False (and error() set) when that fails.
    bool rewind();

    void close() { file_.reset(); }

    // Tells `meter` of every block read from now on (nothing when null).
    void reportProgressTo(ProgressMeter* meter) { meter_ = meter; }

    // The bytes read from the file so far, for a reader on a thread of its
    // own whose work is counted where it is used.
    std::uint64_t bytesRead() const { return bytesRead_; }

    // Stores the next line in `line`. False when every line has been read or a
    // read failed (error() is then non-zero).
    bool readLine(std::string& line);

    // The same, without copying: `line` views the reader's own buffer and
    // stays valid only until the next read, rewind or close.
    bool readLine(std::string_view& line) { return readShortLine(line) || readAnyLine(line); }

    // True once the last line of the file has been returned (or a read failed).
    bool atEnd() const { return finished_; }

    // The errno of the failed open or read (ENOMEM for a line too long to
    // hold), or a FileRefusal; 0 when nothing failed.
    int error() const { return error_; }

    const std::string& path() const { return path_; }

private:
    // second.imd holds tens of millions of lines of a few bytes each: for
    // them a look at each byte costs less than a call of memchr.
    static constexpr std::size_t kShortLine = 16;

    // Takes the next line when it ends within a few bytes in the buffer.
    bool readShortLine(std::string_view& line) {
        if (finished_) {
            return false;
        }
        const std::size_t available = end_ - begin_;
        const std::size_t limit = available < kShortLine ? available : kShortLine;
        const char* const start = buffer_.data() + begin_;
        for (std::size_t n = 0; n < limit; ++n) {
            if (start[n] == '\n') {
                line = lineBefore(start, n);
                begin_ += n + 1;
                return true;
            }
        }
        return false;
    }

    // The `length` bytes at `start`, without a CR in front of the line feed
    // when that belongs to the line end.
    std::string_view lineBefore(const char* start, std::size_t length) const {
        if (carriageReturns_ == CarriageReturns::PartOfLineEnd && length > 0 &&
            start[length - 1] == '\r') {
            --length;
        }
        return std::string_view(start, length);
    }

    bool readAnyLine(std::string_view& line);
    bool fill();

    CarriageReturns carriageReturns_;
    ProgressMeter* meter_ = nullptr;
    std::uint64_t bytesRead_ = 0;
    FilePtr file_;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool endOfFile_ = false;
    bool finished_ = false;
    int error_ = 0;
};

// A buffered output file whose every failure is kept and reported by
// flush() and close().
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates or truncates `path`, never through a symbolic link and never
    // anything but a regular file. False when it cannot be created; error()
    // tells why (an errno or a FileRefusal).
    bool open(const std::string& path);

    // Creates a file without a name in `directory`: no other process can
    // reach it, no link or FIFO can stand in its place, and it is gone once
    // closed, however the run ends. False where the file system cannot do
    // that; error() tells why.
    bool openUnnamed(const std::string& directory);

    void write(std::string_view text);
    void write(char c);
    // Writes `text` followed by CR LF, the line end of every intermediate file.
    void writeLine(std::string_view text);

    // Pushes buffered text to the file. False (and error() set) when that fails.
    bool flush();
    // Flushes and closes. False when any write, the flush or the close failed.
    bool close();

    // Puts everything written to `source`, a file from openUnnamed() (which
    // can be read back), behind what this file holds, both flushed first;
    // within the kernel where it can. False when anything fails (error()
    // set here, or in `source` for its flush).
    bool appendContentsOf(OutputFile& source);

    bool isOpen() const { return file_ != nullptr; }
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    void noteWriteFailure();
    void noteWriteFailure(int error);
    void pushBuffer();
    bool adopt(FilePtr file);
    bool copyByReadAndWrite(int from, off_t offset);

    std::vector<char> buffer_;  // text written but not yet handed to the stream
    std::size_t used_ = 0;
    FilePtr file_;
    std::string path_;
    int error_ = 0;
};

}  // namespace vorn2shp
