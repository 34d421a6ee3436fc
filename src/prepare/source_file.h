// Reading the user's own files (the constraint file and its side files).
//
// A user file is opened and its first line read before the pass writes
// anything, so that a file that exists but cannot be read stops the run while
// the working directory is still untouched. Nothing here ever creates or
// changes a user file.
#pragma once

#include <string>
#include <string_view>

#include "common/text_file.h"

namespace vorn2shp {

// `firstLine` without the UTF-8 byte-order mark that some editors put at
// the start of a file: it is no text of the file, and read as text it would
// be an invisible first character.
std::string_view withoutByteOrderMark(std::string_view firstLine);

class SourceFile {
public:
    enum class Status { Ready, Missing, Unreadable };

    // Opens `path` and reads its first line, without a byte-order mark.
    // Missing means the file does not exist, or its name is too long for any
    // file to have; such a file then reads as an empty file (one empty line).
    Status open(const std::string& path);

    // Tells `meter` of the bytes read, from the open on (nothing when null).
    void reportProgressTo(ProgressMeter* meter) { reader_.reportProgressTo(meter); }

    // The next whole line, without its line end. False when every line has
    // been returned, or when a read failed (error() is then non-zero).
    bool readLine(std::string& line);
    // The same as a view, valid until the next read: no copy.
    bool readLine(std::string_view& line);

    // The errno of the failed open or read (ENOENT for a missing file), 0
    // when nothing failed.
    int error() const { return error_; }
    // True once the last line has been returned. A file that ends with a
    // line feed reads as one more, empty, line, which is then the last.
    bool atEnd() const { return !firstLinePending_ && (missing_ || reader_.atEnd()); }
    // True when the file exists but could not be opened or read.
    bool failed() const { return error_ != 0 && !missing_; }
    const std::string& path() const { return path_; }
    bool missing() const { return missing_; }

private:
    LineReader reader_;
    std::string path_;
    std::string firstLine_;
    bool firstLinePending_ = false;
    bool missing_ = false;
    int error_ = 0;
};

}  // namespace vorn2shp
