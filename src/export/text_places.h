// Where the text of output.eff.imd came from, as the export's messages name
// it: the user's .def and .info rather than the files handed on to the
// export, where the run knows them.
#pragma once

#include <cstddef>
#include <string>

#include "export/shape_exporter.h"

namespace vorn2shp {

class TextPlaces {
public:
    TextPlaces(const ExportOptions& options, std::string effPath)
        : options_(options), effPath_(std::move(effPath)) {}

    // The file the values came from: "town.def" (or "output.eff.imd").
    const std::string& valuesFile() const;
    // The line of valuesFile() that record line `recordLine` took its
    // values from.
    std::size_t valuesLine(std::size_t recordLine) const;
    // "town.def:2" (or "output.eff.imd: line 2") for record line `recordLine`.
    std::string valuesPlace(std::size_t recordLine) const;
    // "town.info:2" (or "DBF$$$.fld"), where the field names are declared.
    std::string fieldListPlace() const;

private:
    const ExportOptions& options_;
    std::string effPath_;
};

}  // namespace vorn2shp
