#include "common/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "common/diagnostics.h"
#include "common/progress_meter.h"

namespace vorn2shp {

namespace {
constexpr std::size_t kReadChunk = 1 << 16;
// The intermediate files run to hundreds of megabytes: a large buffer keeps
// the number of write calls low (the C library's own would be 4 KiB).
constexpr std::size_t kWriteBuffer = 1 << 18;

int lastError() { return errno != 0 ? errno : EIO; }

// A FIFO, socket or device may block an open or a read for good, or never
// end: only regular files are read and written.
bool isStream(mode_t mode) {
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

// Why an open of `path` failed with `error`: a link or a stream at the name,
// which the open was not to follow or wait for, or the system's reason.
int refusalOf(const std::string& path, int error) {
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0) {
        if (S_ISLNK(status.st_mode)) {
            return kSymbolicLink;
        }
        if (isStream(status.st_mode)) {
            return kNotARegularFile;
        }
    }
    return error;
}

// A file just created is empty already. Truncating it all the same would
// cost dearly later: ext4 takes a truncation to zero for a file about to be
// rewritten and, when the file is next closed, allocates the blocks of all
// that was written since, at once, in the closing call (about 50 ms for the
// 150 MB of second.imd, spent where the stages hand on).
bool needsEmptying(const struct stat& status) { return status.st_size > 0; }

// A regular file that an earlier run left at the name is removed and made
// anew rather than emptied, for the same cost at close (a tenth of a second
// over a run's intermediates in a directory used before); a hard link there
// also keeps its text under its other names. Where it cannot be removed
// (another user's file in a shared directory), the open empties it.
void removeEarlierFile(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && needsEmptying(status)) {
        unlink(path.c_str());
    }
}

// Opens with `flags`, O_NONBLOCK among them so that a FIFO without a writer
// or reader cannot hold the open, and takes a stream in `mode` on it: a
// regular file (or, for reading, a directory, which says so itself).
// Nothing but the file as found is ever changed.
FilePtr openStream(const std::string& path, int flags, const char* mode, int& error) {
    errno = 0;
    const int descriptor = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        error = refusalOf(path, lastError());
        return nullptr;
    }
    struct stat status {};
    const bool writing = (flags & O_WRONLY) != 0;
    if (fstat(descriptor, &status) != 0 || isStream(status.st_mode)) {
        error = kNotARegularFile;
    } else if (S_ISDIR(status.st_mode)) {
        error = EISDIR;
    } else if (fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0 ||
               (writing && needsEmptying(status) && ftruncate(descriptor, 0) != 0)) {
        error = lastError();
    } else if (FilePtr file{fdopen(descriptor, mode)}) {
        return file;
    } else {
        error = lastError();
    }
    close(descriptor);
    return nullptr;
}
}  // namespace

bool LineReader::open(const std::string& path) {
    path_ = path;
    file_ = openStream(path, O_RDONLY, "rb", error_);
    if (!file_) {
        finished_ = true;
        return false;
    }
    buffer_.assign(kReadChunk, '\0');
    error_ = 0;
    return rewind();
}

bool LineReader::rewind() {
    if (!file_) {
        return false;
    }
    errno = 0;
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) {
        error_ = errno != 0 ? errno : EIO;
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
bool LineReader::fill() {
    if (endOfFile_ || !file_) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() - end_ < kReadChunk / 2) {
        // A line has no length limit, so memory may run out on a long one:
        // that is a read that failed, for the caller to report with the file.
        try {
            buffer_.resize(buffer_.size() * 2);
        } catch (const std::bad_alloc&) {
            endOfFile_ = true;
            error_ = ENOMEM;
            return false;
        }
    }
    errno = 0;
    const std::size_t got =
        std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
    end_ += got;
    bytesRead_ += got;
    if (meter_ != nullptr && got > 0) {
        meter_->advance(got);
    }
    if (got == 0) {
        endOfFile_ = true;
        if (std::ferror(file_.get())) {
            error_ = errno != 0 ? errno : EIO;
        }
    }
    return got > 0;
}

bool LineReader::readLine(std::string& line) {
    std::string_view view;
    if (!readLine(view)) {
        if (error_ != 0) {
            line.clear();
        }
        return false;
    }
    line.assign(view.data(), view.size());
    return true;
}

bool LineReader::readAnyLine(std::string_view& line) {
    if (finished_) {
        return false;
    }
    std::size_t searchFrom = begin_;
    for (;;) {
        const void* found = std::memchr(buffer_.data() + searchFrom, '\n', end_ - searchFrom);
        if (found != nullptr) {
            const auto newline =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            line = lineBefore(buffer_.data() + begin_, newline - begin_);
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
        line = std::string_view();
        return false;
    }
    line = std::string_view(buffer_.data() + begin_, end_ - begin_);
    begin_ = end_;
    return true;
}

// Whatever is still buffered reaches the file; a failure then can no
// longer be reported, which is why writers call close().
OutputFile::~OutputFile() { pushBuffer(); }

bool OutputFile::open(const std::string& path) {
    pushBuffer();
    path_ = path;
    // O_NOFOLLOW: a link at the name, planted or left behind, would send the
    // writes to whatever file it points to. The file is emptied only once
    // it has been found to be a regular file.
    removeEarlierFile(path);
    return adopt(openStream(path, O_WRONLY | O_CREAT | O_NOFOLLOW, "wb", error_));
}

bool OutputFile::openUnnamed(const std::string& directory) {
    pushBuffer();
    path_ = directory;
    errno = 0;
    const int descriptor = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    FilePtr file{descriptor >= 0 ? fdopen(descriptor, "w+b") : nullptr};
    if (!file) {
        error_ = lastError();
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
    return adopt(std::move(file));
}

bool OutputFile::adopt(FilePtr file) {
    file_ = std::move(file);
    if (!file_) {
        return false;
    }
    // The text is gathered in buffer_, so the stream needs no buffer of its
    // own: each push is one write of the whole buffer.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    buffer_.resize(kWriteBuffer);
    used_ = 0;
    error_ = 0;
    return true;
}

void OutputFile::noteWriteFailure() { noteWriteFailure(errno != 0 ? errno : EIO); }

void OutputFile::noteWriteFailure(int error) {
    if (error_ == 0) {
        error_ = error;
    }
}

void OutputFile::pushBuffer() {
    if (used_ > 0 && file_) {
        errno = 0;
        if (std::fwrite(buffer_.data(), 1, used_, file_.get()) != used_) {
            noteWriteFailure();
        }
    }
    used_ = 0;
}

// Lines are appended to the buffer by memcpy: a call of fwrite for every
// line of a file of millions of lines would cost more than the copy.
void OutputFile::write(std::string_view text) {
    if (!file_) {
        return;
    }
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            pushBuffer();
        }
        const std::size_t room = buffer_.size() - used_;
        const std::size_t piece = text.size() < room ? text.size() : room;
        std::memcpy(buffer_.data() + used_, text.data(), piece);
        used_ += piece;
        text.remove_prefix(piece);
    }
}

void OutputFile::write(char c) { write(std::string_view(&c, 1)); }

void OutputFile::writeLine(std::string_view text) {
    write(text);
    write(std::string_view("\r\n", 2));
}

bool OutputFile::flush() {
    if (!file_) {
        return error_ == 0;
    }
    pushBuffer();
    errno = 0;
    if (std::fflush(file_.get()) != 0) {
        noteWriteFailure();
    }
    return error_ == 0;
}

bool OutputFile::appendContentsOf(OutputFile& source) {
    if (!source.flush() || !flush() || !source.file_ || !file_) {
        return false;
    }
    const int from = fileno(source.file_.get());
    const int to = fileno(file_.get());
    off_t offset = 0;
    for (;;) {
        errno = 0;
        const ssize_t copied = copy_file_range(from, &offset, to, nullptr, std::size_t{1} << 30, 0);
        if (copied > 0) {
            continue;
        }
        if (copied == 0) {
            // Some file systems answer 0 for a file they cannot copy from
            // in the kernel, before its end: the rest goes the plain way.
            struct stat status {};
            if (fstat(from, &status) == 0 && status.st_size > offset) {
                return copyByReadAndWrite(from, offset);
            }
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        // Older kernels and some file systems cannot copy between these files.
        if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) {
            return copyByReadAndWrite(from, offset);
        }
        noteWriteFailure();
        return false;
    }
}

// Reads through this file's own buffer, which flush() has just emptied.
bool OutputFile::copyByReadAndWrite(int from, off_t offset) {
    for (;;) {
        errno = 0;
        const ssize_t got = pread(from, buffer_.data(), buffer_.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            noteWriteFailure();
            return false;
        }
        if (got == 0) {
            return flush();
        }
        offset += got;
        used_ = static_cast<std::size_t>(got);
        pushBuffer();
        if (error_ != 0) {
            return false;
        }
    }
}

bool OutputFile::close() {
    if (!file_) {
        return error_ == 0;
    }
    flush();
    errno = 0;
    if (std::ferror(file_.get())) {
        noteWriteFailure();
    }
    if (std::fclose(file_.release()) != 0) {
        noteWriteFailure();
    }
    return error_ == 0;
}

}  // namespace vorn2shp
