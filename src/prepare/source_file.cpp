#include "source_file.h"

#include <cerrno>

#include "common/utf8_text.h"

namespace vorn2shp {

std::string_view withoutByteOrderMark(std::string_view firstLine) {
    if (firstLine.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        firstLine.remove_prefix(kByteOrderMark.size());
    }
    return firstLine;
}

SourceFile::Status SourceFile::open(const std::string& path) {
    path_ = path;
    error_ = 0;
    missing_ = false;
    if (!reader_.open(path)) {
        error_ = reader_.error();
        // A side file's name is derived, and may be longer than a name can
        // be (an input of 252 to 255 bytes gives an .info of more than 255):
        // no such file can exist.
        missing_ = error_ == ENOENT || error_ == ENAMETOOLONG;
        // A missing file reads as an empty one: exactly one empty line.
        firstLine_.clear();
        firstLinePending_ = missing_;
        return missing_ ? Status::Missing : Status::Unreadable;
    }
    // Some files open but cannot be read (a directory, for one); the first
    // read tells, and it happens before anything has been written.
    firstLinePending_ = reader_.readLine(firstLine_);
    if (!firstLinePending_) {
        error_ = reader_.error() != 0 ? reader_.error() : EIO;
        return Status::Unreadable;
    }
    firstLine_.erase(0, firstLine_.size() - withoutByteOrderMark(firstLine_).size());
    return Status::Ready;
}

bool SourceFile::readLine(std::string& line) {
    std::string_view view;
    if (!readLine(view)) {
        return false;
    }
    line.assign(view.data(), view.size());
    return true;
}

bool SourceFile::readLine(std::string_view& line) {
    if (firstLinePending_) {
        firstLinePending_ = false;
        line = firstLine_;
        return true;
    }
    if (missing_ || error_ != 0) {
        return false;
    }
    if (reader_.readLine(line)) {
        return true;
    }
    error_ = reader_.error();
    return false;
}

}  // namespace vorn2shp
