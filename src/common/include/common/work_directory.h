// Where a run's intermediate files lie: under their fixed names in the
// working directory, or in the directory that --work-dir names.
#pragma once

#include <string>
#include <string_view>

namespace vorn2shp {

// The intermediate files by their fixed names, in the order the stages
// write them: each stage hands its work on to the next through them, and
// they stay behind for the user to read.
namespace intermediate {
inline constexpr const char* kPreparedText = "first.imd";   // the constraint text, filtered
inline constexpr const char* kDefinitions = "def.imd";      // the user's .def, line for line
inline constexpr const char* kFieldList = "DBF$$$.fld";     // the field names of the .info
inline constexpr const char* kTokens = "second.imd";        // the parse's tokens, one a line
inline constexpr const char* kOutlines = "output.eff.imd";  // an outline line an object
inline constexpr const char* kAll[] = {kPreparedText, kDefinitions, kFieldList, kTokens, kOutlines};
}  // namespace intermediate

class WorkDirectory {
public:
    // The working directory: the files go by their bare names.
    WorkDirectory() = default;
    // `path` (relative to the working directory, or absolute); "" is the
    // working directory.
    explicit WorkDirectory(const std::string& path);

    // "first.imd" in the working directory, "tmp/first.imd" in tmp.
    std::string pathOf(std::string_view name) const;
    // The directory as given, "" for the working directory.
    const std::string& path() const { return path_; }
    // The directory as the *at calls and O_TMPFILE name it: "." for the
    // working directory.
    std::string directory() const { return path_.empty() ? std::string(".") : path_; }

private:
    std::string path_;
    std::string prefix_;  // "" or the path ending in '/'
};

}  // namespace vorn2shp
