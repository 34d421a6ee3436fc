// Catches every failed write of the files that shapelib writes.
//
// shapelib buffers through its file hooks and ignores the result of many of
// its own writes, and of every close, so a full disk could otherwise leave a
// truncated shapefile behind a successful run. The monitor's hooks wrap each
// file that shapelib opens, and remember the first failed read, write, seek,
// flush or close of a watched file with its path and cause.
#pragma once

#include <shapefil.h>

#include <string>

namespace vorn2shp {

class WriteMonitor {
public:
    WriteMonitor();
    WriteMonitor(const WriteMonitor&) = delete;
    WriteMonitor& operator=(const WriteMonitor&) = delete;

    // The hooks to create the shapefile and the table with (SHPCreateLL,
    // DBFCreateLL). They report an open that fails on stderr.
    SAHooks* hooks() { return &hooks_; }

    // Reports the failures of `file`, opened through hooks(), to this monitor
    // from now on. The monitor must outlive the handle that holds the file.
    void watch(SAFile file);

    bool failed() const { return failedError_ != 0; }
    // "<path>: <cause>" of the first failure.
    std::string failure() const;

    // The path of `file`, opened through the hooks, as the user knows it:
    // where it is committed to when it was opened in a staging directory.
    static std::string pathOf(SAFile file);

    void noteFailure(const std::string& path, int errorNumber) noexcept;

private:
    SAHooks hooks_;
    std::string failedPath_;
    int failedError_ = 0;
};

}  // namespace vorn2shp
