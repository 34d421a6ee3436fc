#include "common/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace vorn2shp {

namespace {

// A staging directory is named <marker> + six random characters; the
// leading dot keeps it out of plain listings while it exists.
constexpr std::string_view kMarker = ".vorn2shp-staging-";
constexpr std::size_t kUniqueLength = 6;
constexpr std::string_view kProcDescriptors = "/proc/self/fd/";

std::string uniqueName() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[kUniqueLength] = {};
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // Without randomness the clock still makes clashes rare, and a
        // clash only means another try.
        auto ticks = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(ticks);
            ticks = ticks * 6364136223846793005ULL + 1442695040888963407ULL;
            ticks ^= ticks >> 29;
        }
    }
    std::string name(kMarker);
    for (const unsigned char byte : bytes) {
        name.push_back(kLetters[byte % (sizeof kLetters - 1)]);
    }
    return name;
}

// Calls `visit` with the name of every entry of `directory` but "." and "..".
template <typename Visit>
void visitEntries(int directory, const Visit& visit) {
    const int listed = dup(directory);
    DIR* listing = listed >= 0 ? fdopendir(listed) : nullptr;
    if (listing == nullptr) {
        if (listed >= 0) {
            close(listed);
        }
        return;
    }
    // The copy shares its place in the listing with `directory`.
    rewinddir(listing);
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            visit(entry->d_name);
        }
    }
    closedir(listing);
}

void removeFilesIn(int directory) noexcept {
    visitEntries(directory, [directory](const char* name) {
        if (std::strcmp(name, kCommitRecord) != 0) {
            unlinkat(directory, name, 0);
        }
    });
    // Last: while the record is there, a later run can still finish the
    // commit it tells of.
    unlinkat(directory, kCommitRecord, 0);
}

}  // namespace

std::string StagingDirectory::pathOf(std::string_view leaf) const {
    std::string path = parentPath_ + name_ + "/";
    path.append(leaf);
    if (path.size() < PATH_MAX) {
        return path;
    }
    path = std::string(kProcDescriptors) + std::to_string(self_.get()) + "/";
    path.append(leaf);
    return path;
}

StagingRegistry::~StagingRegistry() {
    for (const auto& directory : directories_) {
        removeStagingDirectory(directory->parent(), directory->name(), directory->descriptor());
    }
}

const StagingDirectory* StagingRegistry::createDirectory(Descriptor parent,
                                                         const std::string& parentPath,
                                                         int& error) {
    const std::lock_guard<std::mutex> hold(mutex_);
    // Registered in the same breath as it is made, so a stop never misses it.
    directories_.reserve(directories_.size() + 1);
    constexpr int kTries = 100;
    std::string name;
    for (int attempt = 0;; ++attempt) {
        name = uniqueName();
        if (mkdirat(parent.get(), name.c_str(), 0700) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == kTries) {
            error = errno;
            return nullptr;
        }
    }
    Descriptor self(
        openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!self.valid()) {
        error = errno;
        unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR);
        return nullptr;
    }
    // Where the file system has no such locks, a later run cannot lock the
    // directory either, and leaves it alone.
    flock(self.get(), LOCK_EX | LOCK_NB);
    directories_.push_back(
        std::make_unique<StagingDirectory>(std::move(parent), parentPath, name, std::move(self)));
    return directories_.back().get();
}

void StagingRegistry::discard(const StagingDirectory* directory) {
    const std::lock_guard<std::mutex> hold(mutex_);
    removeStagingDirectory(directory->parent(), directory->name(), directory->descriptor());
    forget(directory);
}

bool StagingRegistry::commit(const ConsoleHold& /*held*/, const StagingDirectory* directory,
                             const std::string& shapesPath,
                             const std::function<bool()>& moveIntoPlace) {
    const std::lock_guard<std::mutex> hold(mutex_);
    const bool moved = moveIntoPlace();
    if (moved) {
        committed_ = shapesPath;
    }
    removeStagingDirectory(directory->parent(), directory->name(), directory->descriptor());
    // Once the staging directory is gone on disk as well, a power cut
    // leaves no record for a later run to settle.
    fsync(directory->parent());
    forget(directory);
    return moved;
}

void StagingRegistry::runWhole(const ConsoleHold& /*held*/, const std::function<void()>& work) {
    const std::lock_guard<std::mutex> hold(mutex_);
    work();
}

const std::string& StagingRegistry::discardAllAndHold(const ConsoleHold& /*held*/) noexcept {
    mutex_.lock();
    for (const auto& directory : directories_) {
        removeStagingDirectory(directory->parent(), directory->name(), directory->descriptor());
    }
    return committed_;
}

void StagingRegistry::forget(const StagingDirectory* directory) {
    directories_.erase(std::remove_if(directories_.begin(), directories_.end(),
                                      [directory](const std::unique_ptr<StagingDirectory>& held) {
                                          return held.get() == directory;
                                      }),
                       directories_.end());
}

bool isStagingName(std::string_view leaf) {
    return leaf.size() == kMarker.size() + kUniqueLength &&
           leaf.substr(0, kMarker.size()) == kMarker;
}

std::vector<std::string> stagingNamesIn(int directory) {
    std::vector<std::string> names;
    visitEntries(directory, [&names](const char* name) {
        if (isStagingName(name)) {
            names.emplace_back(name);
        }
    });
    std::sort(names.begin(), names.end());
    return names;
}

Descriptor claimAbandonedStaging(int parent, const std::string& name, int& error) {
    error = 0;
    Descriptor self(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!self.valid()) {
        error = errno;
        return self;
    }
    if (flock(self.get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? 0 : errno;
        self.reset();
    }
    return self;
}

// A stop discards a directory while the export may still be creating files
// in it; the export creates only a handful, so a few rounds empty it.
void removeStagingDirectory(int parent, const std::string& name, int self) noexcept {
    constexpr int kRounds = 16;
    for (int round = 0; round < kRounds; ++round) {
        removeFilesIn(self);
        if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 ||
            (errno != ENOTEMPTY && errno != EEXIST)) {
            return;
        }
    }
}

std::string committedPathOf(std::string_view stagedPath) {
    // A path through a descriptor names the staging directory by where the
    // descriptor leads.
    std::string resolved;
    if (stagedPath.substr(0, kProcDescriptors.size()) == kProcDescriptors) {
        const std::size_t end = stagedPath.find('/', kProcDescriptors.size());
        std::string target(PATH_MAX, '\0');
        const ssize_t length = end == std::string_view::npos
                                   ? -1
                                   : readlink(std::string(stagedPath.substr(0, end)).c_str(),
                                              target.data(), target.size());
        if (length > 0 && static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            resolved = target + std::string(stagedPath.substr(end));
            stagedPath = resolved;
        }
    }
    const std::size_t slash = stagedPath.rfind('/');
    if (slash == std::string_view::npos) {
        return std::string(stagedPath);
    }
    const std::string_view directory = stagedPath.substr(0, slash);
    const std::size_t parentEnd = directory.rfind('/');
    const std::size_t leafStart = parentEnd == std::string_view::npos ? 0 : parentEnd + 1;
    if (!isStagingName(directory.substr(leafStart))) {
        return std::string(stagedPath);
    }
    std::string path(stagedPath.substr(0, leafStart));
    path.append(stagedPath.substr(slash + 1));
    return path;
}

}  // namespace vorn2shp
