#include "common/work_directory.h"

namespace vorn2shp {

WorkDirectory::WorkDirectory(const std::string& path) : path_(path), prefix_(path) {
    if (!prefix_.empty() && prefix_.back() != '/') {
        prefix_.push_back('/');
    }
}

std::string WorkDirectory::pathOf(std::string_view name) const {
    std::string path = prefix_;
    path.append(name);
    return path;
}

}  // namespace vorn2shp
