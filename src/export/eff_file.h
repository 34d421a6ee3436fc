// Reading output.eff.imd, the polygon text that the export stage converts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/text_file.h"

namespace vorn2shp {

// The export reads output.eff.imd twice, once to validate it and once to
// write it, so the file can be rewound. It is opened in binary mode and a
// line is every byte up to a line feed, carriage returns included: whether a
// line that holds only a carriage return is empty is for the reader to say.
//
// As with every text file of the system, a file yields one line more than it
// has line feeds; lines are returned whole, however long.
class EffFile {
public:
    // False when `path` cannot be opened; error() tells why.
    bool open(const std::string& path);

    // Stores the next line in `line`. False when every line has been read or
    // a read failed (error() is then non-zero).
    bool nextLine(std::string& line);

    // Goes back to the first line. False (and error() set) when that fails.
    bool rewind();

    void close() { file_.reset(); }

    // The errno of the failed open, read or rewind, 0 when nothing failed.
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    bool fill();

    FilePtr file_;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool endOfFile_ = false;
    bool finished_ = true;
    int error_ = 0;
};

}  // namespace vorn2shp
