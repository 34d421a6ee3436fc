#include "common/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vorn2shp {

namespace {

// A staging directory is named <marker> + six characters from mkdtemp; the
// leading dot keeps it out of plain listings while it exists.
constexpr std::string_view kMarker = ".vorn2shp-staging-";
constexpr std::string_view kUniquePart = "XXXXXX";

bool isStagingName(std::string_view leaf) {
    return leaf.size() == kMarker.size() + kUniquePart.size() &&
           leaf.substr(0, kMarker.size()) == kMarker;
}

void removeFilesIn(const char* directory) noexcept {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            unlinkat(dirfd(listing), entry->d_name, 0);
        }
    }
    closedir(listing);
}

// A stop discards a directory while the export may still be creating files
// in it; the export creates only a handful, so a few rounds empty it.
void removeDirectory(const std::string& directory) noexcept {
    constexpr int kRounds = 16;
    for (int round = 0; round < kRounds; ++round) {
        removeFilesIn(directory.c_str());
        if (rmdir(directory.c_str()) == 0 || (errno != ENOTEMPTY && errno != EEXIST)) {
            return;
        }
    }
}

}  // namespace

StagingRegistry::~StagingRegistry() {
    for (const std::string& directory : directories_) {
        removeDirectory(directory);
    }
}

std::string StagingRegistry::createDirectory(const std::string& parent, int& error) {
    std::string path = parent;
    path.append(kMarker).append(kUniquePart);
    const std::lock_guard<std::mutex> hold(mutex_);
    // Registered in the same breath as it is made, so a stop never misses it.
    directories_.reserve(directories_.size() + 1);
    if (mkdtemp(path.data()) == nullptr) {
        error = errno;
        return {};
    }
    directories_.push_back(path);
    return path;
}

void StagingRegistry::discard(const std::string& directory) {
    const std::lock_guard<std::mutex> hold(mutex_);
    removeDirectory(directory);
    forget(directory);
}

bool StagingRegistry::commit(const std::string& directory, const std::string& shapesPath,
                             const std::function<bool()>& moveIntoPlace) {
    const std::lock_guard<std::mutex> hold(mutex_);
    const bool moved = moveIntoPlace();
    if (moved) {
        committed_ = shapesPath;
    }
    removeDirectory(directory);
    forget(directory);
    return moved;
}

const std::string& StagingRegistry::discardAllAndHold() noexcept {
    mutex_.lock();
    for (const std::string& directory : directories_) {
        removeDirectory(directory);
    }
    return committed_;
}

void StagingRegistry::forget(const std::string& directory) {
    directories_.erase(std::remove(directories_.begin(), directories_.end(), directory),
                       directories_.end());
}

std::string committedPathOf(std::string_view stagedPath) {
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
