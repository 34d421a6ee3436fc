#include "commit_steps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "common/diagnostics.h"
#include "common/staging.h"

namespace vorn2shp {

namespace {

// The record is a header line, then fields that each end in a NUL byte (a
// file name may hold any other byte): the stem, the number of steps, six
// fields a step, and "end", which only a record written whole has.
constexpr std::string_view kHeader = "vorn2shp commit record\n";
constexpr std::string_view kEnd = "end";
constexpr std::size_t kFieldsPerStep = 6;
// A record of a few steps takes a few hundred bytes; anything far larger is no record.
constexpr std::size_t kLargestRecord = 1 << 20;

void addField(std::string& text, std::string_view field) {
    text.append(field);
    text.push_back('\0');
}

std::string recordText(const CommitRecord& record) {
    std::string text(kHeader);
    addField(text, record.stem);
    addField(text, std::to_string(record.steps.size()));
    for (const CommitStep& step : record.steps) {
        addField(text, step.kind == CommitStep::Kind::Replace ? "replace" : "take away");
        addField(text, step.target);
        addField(text, step.staged);
        addField(text, step.saved);
        addField(text, step.existed ? "1" : "0");
        addField(text, std::to_string(step.inode));
    }
    addField(text, kEnd);
    return text;
}

bool readNumber(const std::string& field, unsigned long long& number) {
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    number = std::stoull(field);
    return true;
}

std::vector<std::string> fieldsOf(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t end = 0;
    while ((end = text.find('\0')) != std::string_view::npos) {
        fields.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (!text.empty()) {
        fields.clear();  // a field cut off: no record
    }
    return fields;
}

bool readStep(const std::string* field, CommitStep& step) {
    unsigned long long inode = 0;
    if ((field[0] != "replace" && field[0] != "take away") ||
        (field[4] != "0" && field[4] != "1") || !readNumber(field[5], inode)) {
        return false;
    }
    step.kind = field[0] == "replace" ? CommitStep::Kind::Replace : CommitStep::Kind::TakeAway;
    step.target = field[1];
    step.staged = field[2];
    step.saved = field[3];
    step.existed = field[4] == "1";
    step.inode = static_cast<ino_t>(inode);
    return !step.target.empty() &&
           (step.kind == CommitStep::Kind::TakeAway || !step.staged.empty());
}

std::optional<CommitRecord> parseRecord(std::string_view text) {
    if (text.substr(0, kHeader.size()) != kHeader) {
        return std::nullopt;
    }
    const std::vector<std::string> fields = fieldsOf(text.substr(kHeader.size()));
    unsigned long long count = 0;
    if (fields.size() < 3 || !readNumber(fields[1], count) ||
        fields.size() != 3 + kFieldsPerStep * count || fields.back() != kEnd) {
        return std::nullopt;
    }
    CommitRecord record;
    record.stem = fields[0];
    record.steps.resize(static_cast<std::size_t>(count));
    for (std::size_t k = 0; k < record.steps.size(); ++k) {
        if (!readStep(&fields[2 + kFieldsPerStep * k], record.steps[k])) {
            return std::nullopt;
        }
    }
    return record;
}

bool writeWhole(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? EIO : errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool inodeAt(int directory, const std::string& name, ino_t inode) {
    struct stat status {};
    return fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           status.st_ino == inode;
}

bool exists(int directory, const std::string& name) {
    struct stat status {};
    return fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

bool writeCommitRecord(int staging, const CommitRecord& record, int& error) {
    const int descriptor =
        openat(staging, kCommitRecord, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        error = errno;
        return false;
    }
    bool written = writeWhole(descriptor, recordText(record)) && fsync(descriptor) == 0;
    if (!written) {
        error = errno;
    }
    if (close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    // The directory holds the record's name, and the second names that keep
    // the earlier files.
    if (written && fsync(staging) != 0) {
        written = false;
        error = errno;
    }
    return written;
}

std::optional<CommitRecord> readCommitRecord(int staging) {
    const int descriptor = openat(staging, kCommitRecord, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::string text;
    std::vector<char> chunk(4096);
    bool failed = false;
    for (;;) {
        const ssize_t got = read(descriptor, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        text.append(chunk.data(), static_cast<std::size_t>(got));
        if (text.size() > kLargestRecord) {
            failed = true;
            break;
        }
    }
    close(descriptor);
    if (failed) {
        return std::nullopt;
    }
    return parseRecord(text);
}

StepState stateOf(const CommitPlace& place, const CommitStep& step) {
    if (step.kind == CommitStep::Kind::TakeAway) {
        return inodeAt(place.output, step.target, step.inode) ? StepState::Pending
                                                              : StepState::Taken;
    }
    if (inodeAt(place.staging, step.staged, step.inode)) {
        return StepState::Pending;
    }
    return inodeAt(place.output, step.target, step.inode) ? StepState::Taken : StepState::Lost;
}

bool takeStep(const CommitPlace& place, const CommitStep& step, int& error) {
    int result = 0;
    if (step.kind == CommitStep::Kind::Replace) {
        result = renameat(place.staging, step.staged.c_str(), place.output, step.target.c_str());
    } else if (step.saved.empty()) {
        result = unlinkat(place.output, step.target.c_str(), 0);
    } else {
        result = renameat(place.output, step.target.c_str(), place.staging, step.saved.c_str());
    }
    // An earlier file to take away that is gone already has been taken away.
    if (result != 0 && !(errno == ENOENT && step.kind == CommitStep::Kind::TakeAway)) {
        error = errno;
        return false;
    }
    return true;
}

void undoStep(const CommitPlace& place, const CommitStep& step) {
    if (stateOf(place, step) != StepState::Taken) {
        return;
    }
    if (!step.saved.empty() && exists(place.staging, step.saved)) {
        renameat(place.staging, step.saved.c_str(), place.output, step.target.c_str());
    } else if (step.kind == CommitStep::Kind::Replace && !step.existed) {
        unlinkat(place.output, step.target.c_str(), 0);
    }
}

LockFile::Outcome claimOutputDirectory(LockFile& lock, int directory, const std::string& shown) {
    LockFile::Outcome outcome = lock.take(directory, LockFile::Claim::Changing);
    if (outcome == LockFile::Outcome::Busy) {
        warn("waiting for another conversion to finish moving its files into " + shown);
        outcome = lock.wait() ? LockFile::Outcome::Held : LockFile::Outcome::Unavailable;
    }
    return outcome;
}

}  // namespace vorn2shp
