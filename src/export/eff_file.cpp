#include "eff_file.h"

#include <cerrno>
#include <cstring>

namespace vorn2shp {

namespace {
// Reads go in chunks of this size; the buffer grows only for a line that is
// longer than what it holds.
constexpr std::size_t kReadChunk = 1 << 16;

int lastError() { return errno != 0 ? errno : EIO; }
}  // namespace

bool EffFile::open(const std::string& path) {
    path_ = path;
    errno = 0;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        error_ = lastError();
        finished_ = true;
        return false;
    }
    buffer_.assign(kReadChunk, '\0');
    error_ = 0;
    return rewind();
}

bool EffFile::rewind() {
    if (!file_) {
        return false;
    }
    errno = 0;
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) {
        error_ = lastError();
        finished_ = true;
        return false;
    }
    std::clearerr(file_.get());
    begin_ = end_ = 0;
    endOfFile_ = finished_ = false;
    return true;
}

// Reads more of the file behind the unread rest of the buffer. False when
// nothing more could be read.
bool EffFile::fill() {
    if (endOfFile_) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() - end_ < kReadChunk / 2) {
        buffer_.resize(buffer_.size() * 2);
    }
    errno = 0;
    const std::size_t got =
        std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
    end_ += got;
    if (got == 0) {
        endOfFile_ = true;
        if (std::ferror(file_.get())) {
            error_ = lastError();
        }
    }
    return got > 0;
}

bool EffFile::nextLine(std::string& line) {
    if (finished_) {
        return false;
    }
    std::size_t searchFrom = begin_;
    for (;;) {
        const void* found = std::memchr(buffer_.data() + searchFrom, '\n', end_ - searchFrom);
        if (found != nullptr) {
            const auto newline =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            line.assign(buffer_.data() + begin_, newline - begin_);
            begin_ = newline + 1;
            return true;
        }
        const std::size_t scanned = end_ - begin_;
        if (!fill()) {
            break;
        }
        searchFrom = begin_ + scanned;
    }
    finished_ = true;
    if (error_ != 0) {
        line.clear();
        return false;
    }
    line.assign(buffer_.data() + begin_, end_ - begin_);
    begin_ = end_;
    return true;
}

}  // namespace vorn2shp
