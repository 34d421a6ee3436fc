#include "write_monitor.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "common/diagnostics.h"
#include "common/staging.h"

namespace vorn2shp {

namespace {

// What the hooks hand to shapelib as an SAFile.
struct HookedFile {
    std::FILE* stream = nullptr;
    std::string path;  // the name the user knows the file by, for messages
    WriteMonitor* monitor = nullptr;
    long position = 0;         // where the stream stands; -1 when not known
    std::vector<char> buffer;  // the stream's buffer; freed after the stream is closed
    bool reported = false;     // a failure has been reported at once
};

// The shapes and rows reach the files in records of a few hundred bytes: a
// large buffer turns them into few large writes (the C library's own buffer
// is 4 KiB, and it ignores a size given without a buffer).
constexpr std::size_t kStreamBuffer = 1 << 18;

HookedFile* hooked(SAFile file) { return reinterpret_cast<HookedFile*>(file); }

int lastError() { return errno != 0 ? errno : EIO; }

// SHPCreateLL and DBFCreateLL create each file, write its empty header, close
// it and open it again for the handle that they return; only that handle can
// be watched. A failure before it is reported at once: SHPCreateLL then
// fails, and DBFCreateLL goes on with a file whose later writes fail as well
// (so a full disk met right there is reported twice). Of a file that is
// never watched (the spatial index, which shapelib writes node by node), only
// the first failure is reported.
void noteFailure(HookedFile* file, int errorNumber) {
    if (file->monitor != nullptr) {
        file->monitor->noteFailure(file->path, errorNumber);
        return;
    }
    if (file->reported) {
        return;
    }
    file->reported = true;
    try {
        warn(describeFileError(file->path, errorNumber));
    } catch (...) {
    }
}

// Hooks are called from C code, so nothing may be thrown through them. The
// files are opened in a staging directory; messages name them by the names
// they are committed under.
SAFile openFile(const char* path, const char* access) noexcept {
    errno = 0;
    std::FILE* stream = std::fopen(path, access);
    try {
        if (stream == nullptr) {
            warn(describeFileError(committedPathOf(path), lastError()));
            return nullptr;
        }
        auto file = std::make_unique<HookedFile>();
        file->stream = stream;
        file->path = committedPathOf(path);
        if (access[0] == 'w') {
            // A file opened for writing is being created, and only its header
            // is written through this stream: unbuffered, a failure shows in
            // the result of the write, which SHPCreateLL checks.
            std::setvbuf(stream, nullptr, _IONBF, 0);
        } else {
            file->buffer.resize(kStreamBuffer);
            std::setvbuf(stream, file->buffer.data(), _IOFBF, file->buffer.size());
        }
        return reinterpret_cast<SAFile>(file.release());
    } catch (...) {
        if (stream != nullptr) {
            std::fclose(stream);
        }
        return nullptr;
    }
}

// Keeps the position of `file` in step with a read or write of `count`
// items of `size` bytes, of which `moved` were: after a short one it is no
// longer known. Whether all of them were.
bool followPosition(HookedFile& file, std::size_t moved, SAOffset size, SAOffset count) {
    if (moved != count) {
        file.position = -1;
        return false;
    }
    if (file.position >= 0) {
        file.position += static_cast<long>(moved * size);
    }
    return true;
}

// shapelib hands over a null buffer for nothing to read or write (the field
// descriptors of a table without columns), which fread and fwrite must not see.
SAOffset readFile(void* buffer, SAOffset size, SAOffset count, SAFile file) {
    if (size == 0 || count == 0) {
        return 0;
    }
    errno = 0;
    HookedFile* reading = hooked(file);
    const std::size_t got = std::fread(buffer, size, count, reading->stream);
    if (!followPosition(*reading, got, size, count) && std::ferror(reading->stream)) {
        noteFailure(reading, lastError());
    }
    return got;
}

SAOffset writeFile(void* buffer, SAOffset size, SAOffset count, SAFile file) {
    if (size == 0 || count == 0) {
        return 0;
    }
    errno = 0;
    HookedFile* writing = hooked(file);
    const std::size_t written = std::fwrite(buffer, size, count, writing->stream);
    if (!followPosition(*writing, written, size, count)) {
        noteFailure(writing, lastError());
    }
    return written;
}

// shapelib seeks to every record before writing it, mostly to where the
// stream already stands; a real seek would push the buffer out each time.
SAOffset seekFile(SAFile file, SAOffset offset, int whence) {
    HookedFile* seeking = hooked(file);
    const auto target = static_cast<long>(offset);
    if (whence == SEEK_SET && seeking->position == target) {
        return 0;
    }
    errno = 0;
    const int result = std::fseek(seeking->stream, target, whence);
    seeking->position = result == 0 && whence == SEEK_SET ? target : -1;
    if (result != 0) {
        noteFailure(seeking, lastError());
    }
    return static_cast<SAOffset>(result);
}

SAOffset tellFile(SAFile file) {
    errno = 0;
    const long position = std::ftell(hooked(file)->stream);
    hooked(file)->position = position;
    if (position < 0) {
        noteFailure(hooked(file), lastError());
    }
    return static_cast<SAOffset>(position);
}

int flushFile(SAFile file) {
    errno = 0;
    const int result = std::fflush(hooked(file)->stream);
    if (result != 0) {
        noteFailure(hooked(file), lastError());
    }
    return result;
}

int closeFile(SAFile file) {
    HookedFile* closing = hooked(file);
    errno = 0;
    const int result = std::fclose(closing->stream);
    if (result != 0) {
        noteFailure(closing, lastError());
    }
    delete closing;
    return result;
}

// Every failure shapelib reports here also shows in a result or in a hook,
// and is reported by the export stage with the file it concerns.
void ignoreLibraryMessage(const char*) {}

}  // namespace

WriteMonitor::WriteMonitor() {
    SASetupDefaultHooks(&hooks_);
    hooks_.FOpen = openFile;
    hooks_.FRead = readFile;
    hooks_.FWrite = writeFile;
    hooks_.FSeek = seekFile;
    hooks_.FTell = tellFile;
    hooks_.FFlush = flushFile;
    hooks_.FClose = closeFile;
    hooks_.Error = ignoreLibraryMessage;
}

void WriteMonitor::watch(SAFile file) {
    if (file != nullptr) {
        hooked(file)->monitor = this;
    }
}

std::string WriteMonitor::pathOf(SAFile file) {
    return file != nullptr ? hooked(file)->path : std::string();
}

std::string WriteMonitor::failure() const { return describeFileError(failedPath_, failedError_); }

void WriteMonitor::noteFailure(const std::string& path, int errorNumber) noexcept {
    if (failedError_ != 0) {
        return;
    }
    failedError_ = errorNumber != 0 ? errorNumber : EIO;
    try {
        failedPath_ = path;
    } catch (const std::bad_alloc&) {
        failedPath_.clear();
    }
}

}  // namespace vorn2shp
